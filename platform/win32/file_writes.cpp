// Append-only and atomic file writes on Windows.
#include "platform/file_writes.h"

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/msw/wrapwin.h>

namespace
{
// Windows ends its texts with a full stop; ours go inside a sentence.
wxString ErrorText(DWORD code)
{
    wxString text = wxSysErrorMsgStr(code);
    text.Trim();
    if (text.EndsWith(L"."))
        text.RemoveLast();
    return text;
}

HANDLE Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

bool WriteAll(HANDLE file, const char* data, std::size_t size, std::size_t& done)
{
    done = 0;
    while (done < size)
    {
        const DWORD chunk = static_cast<DWORD>(size - done > 0x40000000 ? 0x40000000 : size - done);
        DWORD written = 0;
        if (!::WriteFile(file, data + done, chunk, &written, nullptr))
            return false;
        if (written == 0)
        {
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

bool WriteAll(HANDLE file, const char* data, std::size_t size)
{
    std::size_t done = 0;
    return WriteAll(file, data, size, done);
}

bool SameFile(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION x, y;
    return ::GetFileInformationByHandle(a, &x) && ::GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

// Where a link at path leads, so that the link stays a link; path itself
// otherwise.
wxString FinalPath(const wxString& path)
{
    const DWORD attributes = ::GetFileAttributesW(path.wc_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    HANDLE file = ::CreateFileW(path.wc_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return path;
    wchar_t final[32768];
    const DWORD length = ::GetFinalPathNameByHandleW(file, final, 32768, FILE_NAME_NORMALIZED);
    ::CloseHandle(file);
    return length > 0 && length < 32768 ? wxString(final, length) : path;
}
}  // namespace

bool AppendOnlyFile::Open(const wxString& path, wxString& reason)
{
    Close();
    if (path.empty())
    {
        reason = ErrorText(ERROR_INVALID_NAME);
        return false;
    }
    // FILE_APPEND_DATA without FILE_WRITE_DATA has the system put every
    // write at the end, whoever else appends (the C runtime's _O_APPEND only
    // seeks first).  FILE_FLAG_OPEN_REPARSE_POINT opens a link at the path
    // itself, to be refused below, instead of following it.
    HANDLE file = ::CreateFileW(path.wc_str(),
                                FILE_READ_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr);
    if (file == INVALID_HANDLE_VALUE)
    {
        reason = ErrorText(::GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    wxString refusal;
    if (::GetFileType(file) != FILE_TYPE_DISK)
        refusal = _("it is not a regular file");
    else if (!::GetFileInformationByHandle(file, &info))
        refusal = ErrorText(::GetLastError());
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        refusal = _("it is a symbolic link");
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        refusal = _("it is not a regular file");
    if (!refusal.empty())
    {
        ::CloseHandle(file);
        reason = refusal;
        return false;
    }
    m_handle = reinterpret_cast<std::intptr_t>(file);
    m_lineOpen = false;
    const ULONGLONG size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (size > 0)
    {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(size - 1);
        at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
        char last = '\n';
        DWORD got = 0;
        m_lineOpen = ::ReadFile(file, &last, 1, &got, &at) && got == 1 && last != '\n';
    }
    return true;
}

void AppendOnlyFile::Close()
{
    if (m_handle != kClosed)
        ::CloseHandle(Handle(m_handle));
    m_handle = kClosed;
}

bool AppendOnlyFile::Append(const char* data, std::size_t size, wxString& reason)
{
    if (!IsOpen())
    {
        reason = _("it is not open");
        return false;
    }
    HANDLE file = Handle(m_handle);
    if (m_lineOpen)
    {
        if (!WriteAll(file, "\n", 1))
        {
            reason = ErrorText(::GetLastError());
            return false;
        }
        m_lineOpen = false;
    }
    std::size_t done = 0;
    if (WriteAll(file, data, size, done))
        return true;
    reason = ErrorText(::GetLastError());
    if (done > 0)
        m_lineOpen = !WriteAll(file, "\n", 1);
    return false;
}

namespace
{
// Whether the name still leads to the file we hold, asked without opening
// the name: a handle of its own costs about a millisecond under Wine, once
// per recorded line, while these three calls cost some microseconds.  The
// same size and the same creation and write times (100 ns steps) stand for
// the same file; anything else is settled by the files' ids.
bool NameShowsOurFile(HANDLE ours, const wxString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA named;
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!::GetFileAttributesExW(path.wc_str(), GetFileExInfoStandard, &named) ||
        (named.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        !::GetFileInformationByHandleEx(ours, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(ours, FileStandardInfo, &standard, sizeof standard) ||
        standard.DeletePending)
        return false;
    const auto same = [](const FILETIME& a, const LARGE_INTEGER& b) {
        return a.dwLowDateTime == b.LowPart && a.dwHighDateTime == static_cast<DWORD>(b.HighPart);
    };
    const ULONGLONG size = (static_cast<ULONGLONG>(named.nFileSizeHigh) << 32) | named.nFileSizeLow;
    return size == static_cast<ULONGLONG>(standard.EndOfFile.QuadPart) &&
           same(named.ftCreationTime, basic.CreationTime) &&
           same(named.ftLastWriteTime, basic.LastWriteTime);
}
}  // namespace

bool AppendOnlyFile::IsStillAt(const wxString& path) const
{
    if (!IsOpen())
        return false;
    if (NameShowsOurFile(Handle(m_handle), path))
        return true;
    HANDLE named = ::CreateFileW(path.wc_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (named == INVALID_HANDLE_VALUE)
        return false;
    const bool same = SameFile(named, Handle(m_handle));
    ::CloseHandle(named);
    return same;
}

bool ReplaceFileContents(const wxString& path, const char* data, std::size_t size,
                         wxString& reason)
{
    if (path.empty())
    {
        reason = ErrorText(ERROR_INVALID_NAME);
        return false;
    }
    const wxString target = FinalPath(path);
    const DWORD attributes = ::GetFileAttributesW(target.wc_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    {
        reason = _("it is a folder");
        return false;
    }
    wxString fresh;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (DWORD attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt)
    {
        fresh = target + wxString::Format(L".%08lx~", static_cast<unsigned long>(
                                                          ::GetTickCount() ^ (::GetCurrentProcessId() << 16) ^
                                                          (attempt * 2654435761u)));
        file = ::CreateFileW(fresh.wc_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (file == INVALID_HANDLE_VALUE)
    {
        reason = wxString::Format(_("no new file can be created in its folder: %s"),
                                  ErrorText(::GetLastError()));
        return false;
    }
    const bool written = WriteAll(file, data, size) && ::FlushFileBuffers(file);
    const DWORD writeError = ::GetLastError();
    ::CloseHandle(file);
    if (!written)
    {
        ::DeleteFileW(fresh.wc_str());
        reason = wxString::Format(_("writing the new file failed: %s"), ErrorText(writeError));
        return false;
    }
    // One step, and on disk before it returns.
    if (!::MoveFileExW(fresh.wc_str(), target.wc_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    {
        reason = wxString::Format(_("the new file cannot take its place: %s"),
                                  ErrorText(::GetLastError()));
        ::DeleteFileW(fresh.wc_str());
        return false;
    }
    return true;
}
