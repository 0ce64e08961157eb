// The one header through which the system reaches the Win32 calls it makes.
// The Windows build gets the platform's own declarations; the Linux build
// gets the project's stand-ins, which keep the same names, signatures and
// documented results. Nothing outside platform/ includes a system header to
// reach these calls.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include "platform/posix/win32_api_posix.hpp"
#endif

// The file layer, its error tables and the error texts depend on these exact
// values; both builds check them here.
static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(BOOL) == 4);
static_assert(sizeof(HANDLE) == sizeof(void*) && sizeof(HLOCAL) == sizeof(void*));

static_assert(GENERIC_READ == 0x80000000u);
static_assert(GENERIC_WRITE == 0x40000000u);
static_assert(FILE_SHARE_READ == 1);
static_assert(CREATE_NEW == 1 && CREATE_ALWAYS == 2 && OPEN_EXISTING == 3 && OPEN_ALWAYS == 4 &&
              TRUNCATE_EXISTING == 5);
static_assert(FILE_ATTRIBUTE_NORMAL == 0x80);
static_assert(INVALID_SET_FILE_POINTER == 0xFFFFFFFFu && INVALID_FILE_SIZE == 0xFFFFFFFFu);
static_assert(FILE_BEGIN == 0 && FILE_CURRENT == 1 && FILE_END == 2);
static_assert(FILE_TYPE_UNKNOWN == 0 && FILE_TYPE_DISK == 1 && FILE_TYPE_CHAR == 2 &&
              FILE_TYPE_PIPE == 3 && FILE_TYPE_REMOTE == 0x8000);
static_assert(FORMAT_MESSAGE_ALLOCATE_BUFFER == 0x100 && FORMAT_MESSAGE_IGNORE_INSERTS == 0x200 &&
              FORMAT_MESSAGE_FROM_STRING == 0x400 && FORMAT_MESSAGE_FROM_HMODULE == 0x800 &&
              FORMAT_MESSAGE_FROM_SYSTEM == 0x1000 && FORMAT_MESSAGE_ARGUMENT_ARRAY == 0x2000 &&
              FORMAT_MESSAGE_MAX_WIDTH_MASK == 0xFF);
static_assert(LMEM_FIXED == 0 && LMEM_MOVEABLE == 2 && LMEM_ZEROINIT == 0x40);

static_assert(ERROR_SUCCESS == 0 && NO_ERROR == 0);
static_assert(ERROR_FILE_NOT_FOUND == 2 && ERROR_PATH_NOT_FOUND == 3 &&
              ERROR_TOO_MANY_OPEN_FILES == 4 && ERROR_ACCESS_DENIED == 5 &&
              ERROR_INVALID_HANDLE == 6 && ERROR_NOT_ENOUGH_MEMORY == 8 &&
              ERROR_INVALID_ACCESS == 12 && ERROR_INVALID_DRIVE == 15 &&
              ERROR_NOT_SAME_DEVICE == 17 && ERROR_NO_MORE_FILES == 18 &&
              ERROR_WRITE_PROTECT == 19 && ERROR_BAD_UNIT == 20 && ERROR_NOT_READY == 21 &&
              ERROR_BAD_COMMAND == 22 && ERROR_CRC == 23 && ERROR_BAD_LENGTH == 24 &&
              ERROR_SEEK == 25 && ERROR_SECTOR_NOT_FOUND == 27 && ERROR_WRITE_FAULT == 29 &&
              ERROR_READ_FAULT == 30 && ERROR_SHARING_VIOLATION == 32 &&
              ERROR_LOCK_VIOLATION == 33 && ERROR_WRONG_DISK == 34 && ERROR_HANDLE_EOF == 38 &&
              ERROR_HANDLE_DISK_FULL == 39 && ERROR_NOT_SUPPORTED == 50);
static_assert(ERROR_DUP_NAME == 52 && ERROR_BAD_NETPATH == 53 && ERROR_NETWORK_BUSY == 54 &&
              ERROR_DEV_NOT_EXIST == 55 && ERROR_ADAP_HDW_ERR == 57 && ERROR_BAD_NET_RESP == 58 &&
              ERROR_UNEXP_NET_ERR == 59 && ERROR_NETNAME_DELETED == 64 &&
              ERROR_NETWORK_ACCESS_DENIED == 65 && ERROR_BAD_NET_NAME == 67 &&
              ERROR_SHARING_PAUSED == 70 && ERROR_REQ_NOT_ACCEP == 71 && ERROR_FILE_EXISTS == 80 &&
              ERROR_CANNOT_MAKE == 82 && ERROR_ALREADY_ASSIGNED == 85 &&
              ERROR_INVALID_PASSWORD == 86 && ERROR_INVALID_PARAMETER == 87 &&
              ERROR_NET_WRITE_FAULT == 88 && ERROR_DISK_CHANGE == 107 &&
              ERROR_DRIVE_LOCKED == 108 && ERROR_BUFFER_OVERFLOW == 111 && ERROR_DISK_FULL == 112 &&
              ERROR_INVALID_CATEGORY == 117 && ERROR_INSUFFICIENT_BUFFER == 122 &&
              ERROR_INVALID_NAME == 123 && ERROR_INVALID_LEVEL == 124 &&
              ERROR_NO_VOLUME_LABEL == 125);
static_assert(ERROR_NEGATIVE_SEEK == 131 && ERROR_SEEK_ON_DEVICE == 132 &&
              ERROR_DIR_NOT_ROOT == 144 && ERROR_LABEL_TOO_LONG == 154 &&
              ERROR_BAD_PATHNAME == 161 && ERROR_LOCK_FAILED == 167 && ERROR_BUSY == 170 &&
              ERROR_ALREADY_EXISTS == 183 && ERROR_FILENAME_EXCED_RANGE == 206 &&
              ERROR_META_EXPANSION_TOO_LONG == 208 && ERROR_FILE_TOO_LARGE == 223 &&
              ERROR_DIRECTORY == 267 && ERROR_MR_MID_NOT_FOUND == 317 &&
              ERROR_OPERATION_ABORTED == 995 && ERROR_IO_INCOMPLETE == 996 &&
              ERROR_IO_PENDING == 997 && ERROR_SWAPERROR == 999 && ERROR_IO_DEVICE == 1117 &&
              ERROR_RESOURCE_TYPE_NOT_FOUND == 1813 && ERROR_CANT_RESOLVE_FILENAME == 1921);
