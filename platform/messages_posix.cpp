#include <algorithm>
#include <cstring>
#include <iterator>

#include "platform/posix/errno_mapping.hpp"
#include "platform/posix/win32_api_posix.hpp"

using PosixPlatform::SetLastErrorCode;

namespace {

struct SystemMessage {
    DWORD code;
    const char* text;
};

// A text for every code that the file layer's error tables name and for
// every code these stand-ins set themselves, in ascending order of code.
// Like the system's, a text may run over more than one line; the line break
// that ends every text is added when it is handed out.
constexpr SystemMessage kSystemMessages[] = {
    {ERROR_SUCCESS, "The operation succeeded."},
    {ERROR_FILE_NOT_FOUND, "The file could not be found."},
    {ERROR_PATH_NOT_FOUND, "The path, or a folder on it, could not be found."},
    {ERROR_TOO_MANY_OPEN_FILES, "No further file can be opened: too many are open already."},
    {ERROR_ACCESS_DENIED, "Access was refused."},
    {ERROR_INVALID_HANDLE, "The handle is not valid."},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory to carry out the request."},
    {ERROR_INVALID_ACCESS, "The kind of access asked for is not valid."},
    {ERROR_INVALID_DRIVE, "The drive named in the path does not exist."},
    {ERROR_NOT_SAME_DEVICE, "Both names must be on the same device."},
    {ERROR_NO_MORE_FILES, "There are no more files to report."},
    {ERROR_WRITE_PROTECT, "The medium does not allow writing."},
    {ERROR_BAD_UNIT, "The device unit could not be found."},
    {ERROR_NOT_READY, "The device is not ready."},
    {ERROR_BAD_COMMAND, "The device did not understand the request."},
    {ERROR_CRC, "The data read failed its integrity check."},
    {ERROR_BAD_LENGTH, "The length given with the request is wrong."},
    {ERROR_SEEK, "The drive could not find the place asked for on the disk."},
    {ERROR_SECTOR_NOT_FOUND, "A sector asked for is missing from the disk."},
    {ERROR_WRITE_FAULT, "The device could not be written to."},
    {ERROR_READ_FAULT, "The device could not be read from."},
    {ERROR_SHARING_VIOLATION,
     "Another process has the file open.\r\nIt cannot be opened this way until that process "
     "closes it."},
    {ERROR_LOCK_VIOLATION, "Another process has locked part of the file."},
    {ERROR_WRONG_DISK, "The disk in the drive is not the one expected."},
    {ERROR_HANDLE_EOF, "The end of the file was reached."},
    {ERROR_HANDLE_DISK_FULL, "The disk has no room left."},
    {ERROR_NOT_SUPPORTED, "The request is not supported."},
    {ERROR_DUP_NAME, "The name is already in use on the network."},
    {ERROR_BAD_NETPATH, "The network path could not be found."},
    {ERROR_NETWORK_BUSY, "The network is busy."},
    {ERROR_DEV_NOT_EXIST, "The device or network resource does not exist."},
    {ERROR_ADAP_HDW_ERR, "The network adapter reported a hardware fault."},
    {ERROR_BAD_NET_RESP, "The server could not carry out the request."},
    {ERROR_UNEXP_NET_ERR, "The network failed unexpectedly."},
    {ERROR_NETNAME_DELETED, "The network name is no longer available."},
    {ERROR_NETWORK_ACCESS_DENIED, "Network access was refused."},
    {ERROR_BAD_NET_NAME, "The network name could not be found."},
    {ERROR_SHARING_PAUSED, "The server has paused sharing."},
    {ERROR_REQ_NOT_ACCEP, "The server takes no further connections now."},
    {ERROR_FILE_EXISTS, "The file exists already."},
    {ERROR_CANNOT_MAKE, "The file or folder could not be made."},
    {ERROR_ALREADY_ASSIGNED, "The local device name is in use already."},
    {ERROR_INVALID_PASSWORD, "The password is wrong."},
    {ERROR_INVALID_PARAMETER, "An argument of the request is not valid."},
    {ERROR_NET_WRITE_FAULT, "Writing to the network failed."},
    {ERROR_DISK_CHANGE, "The disk expected is not in the drive."},
    {ERROR_DRIVE_LOCKED, "Another process is using or has locked the disk."},
    {ERROR_BUFFER_OVERFLOW, "The file name is too long."},
    {ERROR_DISK_FULL, "The disk does not have enough space left."},
    {ERROR_INVALID_CATEGORY, "The device does not take this control request."},
    {ERROR_INSUFFICIENT_BUFFER, "The buffer is too small for the data."},
    {ERROR_INVALID_NAME, "The file name, folder name or volume label is not valid."},
    {ERROR_INVALID_LEVEL, "The level given with the request is not valid."},
    {ERROR_NO_VOLUME_LABEL, "The disk has no volume label."},
    {ERROR_NEGATIVE_SEEK, "The file pointer cannot move before the start of the file."},
    {ERROR_SEEK_ON_DEVICE, "The file pointer cannot move on this device or file."},
    {ERROR_DIR_NOT_ROOT, "The folder is not a subfolder of a root folder."},
    {ERROR_LABEL_TOO_LONG, "The volume label is too long."},
    {ERROR_BAD_PATHNAME, "The path is not valid."},
    {ERROR_LOCK_FAILED, "A region of the file could not be locked."},
    {ERROR_BUSY, "The resource is busy."},
    {ERROR_ALREADY_EXISTS, "A file of that name exists already."},
    {ERROR_FILENAME_EXCED_RANGE, "The file name or extension is too long."},
    {ERROR_META_EXPANSION_TOO_LONG, "The wildcard characters of the name are used wrongly."},
    {ERROR_FILE_TOO_LARGE, "The file is too large for the request."},
    {ERROR_DIRECTORY, "The folder name is not valid."},
    {ERROR_MR_MID_NOT_FOUND, "No text exists for this message number."},
    {ERROR_OPERATION_ABORTED, "The operation was cancelled before it finished."},
    {ERROR_IO_INCOMPLETE, "The overlapped operation has not finished yet."},
    {ERROR_IO_PENDING, "The overlapped operation is still under way."},
    {ERROR_SWAPERROR, "A page of memory could not be brought in from the disk."},
    {ERROR_IO_DEVICE, "A device input or output error stopped the request."},
    {ERROR_RESOURCE_TYPE_NOT_FOUND, "The module has no resource of the type asked for."},
    {ERROR_CANT_RESOLVE_FILENAME, "The file name could not be resolved: its links loop."},
};

constexpr char kLineBreak[] = "\r\n";
constexpr DWORD kLineBreakLength = 2;

constexpr bool InAscendingOrder() {
    for (std::size_t i = 1; i < std::size(kSystemMessages); ++i) {
        if (kSystemMessages[i - 1].code >= kSystemMessages[i].code) {
            return false;
        }
    }
    return true;
}
static_assert(InAscendingOrder(), "the texts are found by binary search");

// An HRESULT of the Win32 facility ("HRESULT_FROM_WIN32") wraps a system
// error code in its low 16 bits, and shares that code's text.
constexpr DWORD kWin32FacilityMask = 0xFFFF0000u;
constexpr DWORD kWin32FacilityFailure = 0x80070000u;

const char* SystemMessageText(DWORD code) {
    if ((code & kWin32FacilityMask) == kWin32FacilityFailure) {
        code &= ~kWin32FacilityMask;
    }
    const auto found = std::lower_bound(
        std::begin(kSystemMessages), std::end(kSystemMessages), code,
        [](const SystemMessage& message, DWORD key) { return message.code < key; });
    if (found == std::end(kSystemMessages) || found->code != code) {
        return nullptr;
    }
    return found->text;
}

DWORD Fail(DWORD code) {
    SetLastErrorCode(code);
    return 0;
}

}  // namespace

DWORD FormatMessageA(DWORD dwFlags, LPCVOID /*lpSource*/, DWORD dwMessageId, DWORD /*dwLanguageId*/,
                     LPSTR lpBuffer, DWORD nSize, va_list* /*Arguments*/) {
    const bool fromModule = (dwFlags & FORMAT_MESSAGE_FROM_HMODULE) != 0;
    const bool fromSystem = (dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) != 0;
    if ((dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_MAX_WIDTH_MASK)) != 0 ||
        (!fromModule && !fromSystem) || lpBuffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!fromSystem) {
        return Fail(ERROR_RESOURCE_TYPE_NOT_FOUND);
    }
    const char* text = SystemMessageText(dwMessageId);
    if (text == nullptr) {
        return Fail(ERROR_MR_MID_NOT_FOUND);
    }
    const auto textLength = static_cast<DWORD>(std::strlen(text));
    const DWORD length = textLength + kLineBreakLength;

    char* out = lpBuffer;
    if ((dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
        // nSize is then the least number of characters to allocate.
        out = static_cast<char*>(LocalAlloc(LMEM_FIXED, std::max<SIZE_T>(length + 1, nSize)));
        if (out == nullptr) {
            return 0;
        }
        *reinterpret_cast<char**>(lpBuffer) = out;
    } else if (nSize < length + 1) {
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(out, text, textLength);
    std::memcpy(out + textLength, kLineBreak, kLineBreakLength + 1);
    return length;
}
