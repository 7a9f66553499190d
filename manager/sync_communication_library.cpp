#include "manager/sync_communication_library.h"

#include <string>

#include "manager/read_registry_string.h"

namespace synchronization::manager {

namespace extcomm = voru::synchronization::extcomm;

SyncCommunicationLibrary::SyncCommunicationLibrary(
    const std::shared_ptr<synchronization::logging::ISynchronizationLogging>& log)
    : log(log) {}

SyncCommunicationLibrary::~SyncCommunicationLibrary() {
    Disconnect();
    log.reset();
}

void SyncCommunicationLibrary::Log(const char* line) {
    if (log) log->Log(std::string(line));
}

bool SyncCommunicationLibrary::Connect(const std::shared_ptr<extcomm::ISyncEvents>& listener) {
    try {
        Log("Connecting to the synchronization service...");
        bool ok = true;
        if (!module.IsLoaded()) {
            std::u16string path;
            if (!ReadRegistryString(u"ExtCommunication", path) || path.empty()) {
                ok = false;
            } else {
                module = platform::DynamicLibrary::Load(path);
                ok = module.IsLoaded();
            }
        }
        if (ok && !listener) ok = false;
        if (ok && !communication) {
            auto create = reinterpret_cast<extcomm::CreateCommunicationFunction>(
                module.Symbol(extcomm::kCreateCommunicationExport));
            if (!create) {
                ok = false;
            } else {
                std::shared_ptr<extcomm::ICommunication> created;
                ok = create(listener, created) && created;
                if (ok) communication = std::move(created);
            }
        }
        if (ok) {
            Log("Connected to the synchronization service");
            return true;
        }
    } catch (...) {
    }
    Disconnect();
    Log("Failed to connect to the synchronization service");
    return false;
}

bool SyncCommunicationLibrary::Disconnect() {
    try {
        Log("Disconnecting from the synchronization service...");
        // The object's code lives in the library: it goes first.
        communication.reset();
        module.Free();
        Log("Disconnected from the synchronization service");
        return true;
    } catch (...) {
        return false;
    }
}

bool SyncCommunicationLibrary::IsConnected() {
    return module.IsLoaded() && communication != nullptr;
}

std::shared_ptr<extcomm::ICommunication> SyncCommunicationLibrary::GetCommunication() {
    if (!IsConnected()) return nullptr;
    return communication;
}

}  // namespace synchronization::manager
