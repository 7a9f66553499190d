#include "platform/copy_data.h"

#include <windows.h>

#include <cstdlib>

namespace platform {

CopyDataSendResult SendCopyData(WindowHandle target, WindowHandle from,
                                const CopyDataRecord& record, std::uint32_t timeoutMs,
                                std::intptr_t* result) {
    HWND window = reinterpret_cast<HWND>(target);
    if (window == nullptr || !::IsWindow(window)) return CopyDataSendResult::Failed;
    COPYDATASTRUCT data{};
    data.dwData = static_cast<ULONG_PTR>(record.dwData);
    data.cbData = record.cbData;
    data.lpData = const_cast<void*>(record.lpData);
    DWORD_PTR answer = 0;
    // SMTO_NORMAL keeps this thread taking the messages sent to it meanwhile, so a block that the
    // peer sends back while it handles ours reaches our window procedure before we return.
    ::SetLastError(0);
    const LRESULT sent = ::SendMessageTimeoutW(window, WM_COPYDATA, static_cast<WPARAM>(from),
                                               reinterpret_cast<LPARAM>(&data),
                                               SMTO_NORMAL | SMTO_ABORTIFHUNG, timeoutMs, &answer);
    if (sent == 0) {
        const DWORD error = ::GetLastError();
        // A hung peer is refused at once with SMTO_ABORTIFHUNG; some systems report that with
        // no error code. Both mean the peer did not take the block.
        if (error == ERROR_TIMEOUT || error == 0) return CopyDataSendResult::TimedOut;
        return CopyDataSendResult::Failed;
    }
    if (result) *result = static_cast<std::intptr_t>(answer);
    return CopyDataSendResult::Delivered;
}

bool CopyDataRecordFromParam(LParam lParam, CopyDataRecord& record) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (data == nullptr) return false;
    record.dwData = static_cast<std::uintptr_t>(data->dwData);
    record.cbData = data->cbData;
    record.lpData = data->lpData;
    return true;
}

std::string DefaultCopyDataSocketPath() { return std::string(); }

// Windows map applications send WM_COPYDATA to the main window; there is no socket to serve.
CopyDataServer::~CopyDataServer() { Close(); }
bool CopyDataServer::Listen(const std::string&, CopyDataHandler) { return false; }
int CopyDataServer::Poll(std::uint32_t) { return 0; }
void CopyDataServer::Close() noexcept {}

CopyDataClient::~CopyDataClient() { Close(); }
bool CopyDataClient::Connect(const std::string&, CopyDataHandler) { return false; }
CopyDataSendResult CopyDataClient::Send(const CopyDataRecord&, std::uint32_t, std::intptr_t*) {
    return CopyDataSendResult::Failed;
}
int CopyDataClient::Poll(std::uint32_t) { return -1; }
bool CopyDataClient::PeerClosed() const { return true; }
void CopyDataClient::Close() noexcept {}

}  // namespace platform
