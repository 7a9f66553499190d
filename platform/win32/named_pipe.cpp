#include "platform/named_pipe.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace platform {

namespace {

HANDLE ToHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

std::wstring ToWide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

DWORD ClampToDword(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, 0xFFFFFFFFu));
}

}  // namespace

NamedPipeServer NamedPipeServer::Create(const std::u16string& path, PipeErrorCode& error) {
    NamedPipeServer server;
    const std::wstring wide = ToWide(path);
    HANDLE pipe = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_OUTBOUND,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, 256, 256, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return server;
    }
    server.handle_ = FromHandle(pipe);
    error = 0;
    return server;
}

ClientWait NamedPipeServer::WaitForClient(PipeErrorCode& error) {
    if (!IsValid()) {
        error = ERROR_INVALID_HANDLE;
        return ClientWait::Failed;
    }
    if (ConnectNamedPipe(ToHandle(handle_), nullptr)) {
        error = 0;
        return ClientWait::Connected;
    }
    error = GetLastError();
    // The client was quicker than we were: the instance is connected and ready for the write.
    if (error == ERROR_PIPE_CONNECTED) return ClientWait::ConnectedBeforeWait;
    return ClientWait::Failed;
}

PipeTransfer NamedPipeServer::Write(const void* data, std::size_t size) {
    PipeTransfer result;
    if (!IsValid()) {
        result.error = ERROR_INVALID_HANDLE;
        return result;
    }
    DWORD written = 0;
    result.ok = WriteFile(ToHandle(handle_), data, ClampToDword(size), &written, nullptr) != FALSE;
    result.error = GetLastError();
    result.bytes = written;
    return result;
}

void NamedPipeServer::Close() noexcept {
    if (handle_ != kNone) CloseHandle(ToHandle(handle_));
    handle_ = kNone;
}

NamedPipeClient NamedPipeClient::Open(const std::u16string& path, PipeErrorCode& error) {
    NamedPipeClient client;
    const std::wstring wide = ToWide(path);
    HANDLE pipe = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return client;
    }
    client.handle_ = FromHandle(pipe);
    error = 0;
    return client;
}

PipeTransfer NamedPipeClient::Read(void* buffer, std::size_t capacity) {
    PipeTransfer result;
    if (!IsValid()) {
        result.error = ERROR_INVALID_HANDLE;
        return result;
    }
    DWORD read = 0;
    result.ok =
        ReadFile(ToHandle(handle_), buffer, ClampToDword(capacity), &read, nullptr) != FALSE;
    result.error = GetLastError();
    result.bytes = read;
    return result;
}

void NamedPipeClient::Close() noexcept {
    if (handle_ != kNone) CloseHandle(ToHandle(handle_));
    handle_ = kNone;
}

}  // namespace platform
