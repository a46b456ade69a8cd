// Append-only and atomic file writes on POSIX systems.
#include "platform/file_writes.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include <wx/intl.h>
#include <wx/log.h>

namespace
{
wxString ErrorText(int code)
{
    wxString text = wxSysErrorMsgStr(static_cast<unsigned long>(code));
    text.Trim();
    return text;
}

int Descriptor(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

// Writes everything, or fails with errno set; done says how much got out.
bool WriteAll(int fd, const char* data, std::size_t size, std::size_t& done)
{
    done = 0;
    while (done < size)
    {
        const ssize_t n = write(fd, data + done, size - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
        {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
    }
    return true;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    std::size_t done = 0;
    return WriteAll(fd, data, size, done);
}

std::string Folder(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NewName(const std::string& target)
{
    static std::mt19937 random{std::random_device{}()};
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x~", static_cast<unsigned>(random()));
    return target + suffix;
}

// The new content under a name of its own next to the target, on disk.
// Linux first writes it as a file without any name (O_TMPFILE), so that
// being killed while writing leaves nothing behind; the name is given only
// once the content is complete, just before the rename.  Elsewhere, on file
// systems without it, or without /proc, a named file is written and removed
// on failure.  Returns the name, or an empty string with reason set.
std::string WriteNewFile(const std::string& target, const char* data, std::size_t size,
                         const struct stat* existing, wxString& reason, bool unnamed = true)
{
    const mode_t mode = existing ? (existing->st_mode & 07777) : 0666;
    std::string name;
    int fd = -1;
#ifdef O_TMPFILE
    if (unnamed)
        fd = open(Folder(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#endif
    const bool named = fd < 0;
    for (int attempt = 0; named && attempt < 100 && fd < 0; ++attempt)
    {
        name = NewName(target);
        fd = open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
    {
        reason = wxString::Format(_("no new file can be created in its folder: %s"),
                                  ErrorText(errno));
        return std::string();
    }
    bool written = WriteAll(fd, data, size);
    if (written && existing)
    {
        // The replacement is the same file to its owner and readers; only
        // root can give it away, and nobody else needs to.
        if (fchown(fd, existing->st_uid, existing->st_gid) != 0)
            errno = 0;
        fchmod(fd, mode);
    }
    written = written && fsync(fd) == 0;
    if (!written)
    {
        const int code = errno;
        close(fd);
        if (named)
            unlink(name.c_str());
        reason = wxString::Format(_("writing the new file failed: %s"), ErrorText(code));
        return std::string();
    }
    if (!named)
    {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        // Always the same name, given just before the rename: one left by a
        // save killed in between (or a finished one of a concurrent save,
        // complete like ours) is simply replaced, so none ever piles up.
        name = target + ".saving~";
        bool linked = false;
        for (int attempt = 0; attempt < 3 && !linked; ++attempt)
        {
            linked = linkat(AT_FDCWD, self, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
            if (!linked && (errno != EEXIST || unlink(name.c_str()) != 0))
                break;
        }
        if (!linked)
        {
            close(fd);
            return WriteNewFile(target, data, size, existing, reason, false);
        }
    }
    close(fd);
    return name;
}
}  // namespace

bool AppendOnlyFile::Open(const wxString& path, wxString& reason)
{
    Close();
    const wxCharBuffer name = path.fn_str();
    if (path.empty() || !name.data() || name.length() == 0)
    {
        reason = _("its name cannot be written in this system's encoding");
        return false;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a reader.  O_NOFOLLOW: a
    // link planted at the path must not send our lines to a file of its
    // maker's choosing.  Read access only to look at the last byte.
    int fd;
    do
        fd = open(name.data(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC |
                                   O_NOCTTY,
                  0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
    {
        reason = errno == ELOOP ? wxString(_("it is a symbolic link")) : ErrorText(errno);
        return false;
    }
    struct stat info;
    wxString refusal;
    if (fstat(fd, &info) != 0)
        refusal = ErrorText(errno);
    else if (!S_ISREG(info.st_mode))
        refusal = _("it is not a regular file");
    else if (info.st_uid != geteuid())
        refusal = _("it belongs to another user");
    else if (info.st_mode & (S_IWGRP | S_IWOTH))
        refusal = _("other users may write to it");
    if (!refusal.empty())
    {
        close(fd);
        reason = refusal;
        return false;
    }
    m_handle = fd;
    m_lineOpen = false;
    if (info.st_size > 0)
    {
        char last = '\n';
        ssize_t got;
        do
            got = pread(fd, &last, 1, info.st_size - 1);
        while (got < 0 && errno == EINTR);
        m_lineOpen = got == 1 && last != '\n';
    }
    return true;
}

void AppendOnlyFile::Close()
{
    if (m_handle != kClosed)
        close(Descriptor(m_handle));
    m_handle = kClosed;
}

bool AppendOnlyFile::Append(const char* data, std::size_t size, wxString& reason)
{
    if (!IsOpen())
    {
        reason = _("it is not open");
        return false;
    }
    const int fd = Descriptor(m_handle);
    if (m_lineOpen)
    {
        if (!WriteAll(fd, "\n", 1))
        {
            reason = ErrorText(errno);
            return false;
        }
        m_lineOpen = false;
    }
    std::size_t done = 0;
    if (WriteAll(fd, data, size, done))
        return true;
    const int code = errno;
    reason = code == EAGAIN || code == EWOULDBLOCK ? wxString(_("writing to it would have to wait"))
                                                   : ErrorText(code);
    if (done > 0)
        m_lineOpen = !WriteAll(fd, "\n", 1);
    return false;
}

bool AppendOnlyFile::IsStillAt(const wxString& path) const
{
    struct stat named, open;
    return IsOpen() && stat(path.fn_str(), &named) == 0 && fstat(Descriptor(m_handle), &open) == 0 &&
           named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

bool ReplaceFileContents(const wxString& path, const char* data, std::size_t size,
                         wxString& reason)
{
    const wxCharBuffer name = path.fn_str();
    if (path.empty() || !name.data() || name.length() == 0)
    {
        reason = _("its name cannot be written in this system's encoding");
        return false;
    }
    std::string target = name.data();
    struct stat info;
    if (lstat(target.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
    {
        char* real = realpath(target.c_str(), nullptr);
        if (!real)
        {
            reason = wxString::Format(_("it is a symbolic link that leads nowhere: %s"),
                                      ErrorText(errno));
            return false;
        }
        target = real;
        std::free(real);
    }
    const bool exists = stat(target.c_str(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode))
    {
        reason = S_ISDIR(info.st_mode) ? ErrorText(EISDIR) : wxString(_("it is not a regular file"));
        return false;
    }
    const std::string fresh = WriteNewFile(target, data, size, exists ? &info : nullptr, reason);
    if (fresh.empty())
        return false;
    if (rename(fresh.c_str(), target.c_str()) != 0)
    {
        reason = wxString::Format(_("the new file cannot take its place: %s"), ErrorText(errno));
        unlink(fresh.c_str());
        return false;
    }
    // The new name itself reaches the disk with its folder.
    const int folder = open(Folder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
    {
        fsync(folder);
        close(folder);
    }
    return true;
}
