#pragma once

// Writing files that must survive other users, full disks and sudden death:
// the record file (appended across runs) and the files that are replaced
// whole (the saved log, the settings file, the dock layout).  Each system
// provides these in its platform folder.

#include <cstddef>
#include <cstdint>

#include <wx/string.h>

// A file of the user's own that lines are appended to, never truncated.
class AppendOnlyFile
{
public:
    AppendOnlyFile() = default;
    AppendOnlyFile(const AppendOnlyFile&) = delete;
    AppendOnlyFile& operator=(const AppendOnlyFile&) = delete;
    ~AppendOnlyFile() { Close(); }

    // Opens path for appending, creating it readable by its owner only.
    // Refuses, without waiting, anything but a plain file of this user that
    // no other user may write: a symbolic link in the last place, a FIFO or
    // device, another user's file.  A file whose last line was cut short (a
    // full disk, a crash) gets its line ended first, so that the next line
    // stands on a line of its own.  On failure: false, and reason says why
    // in words that fit after "cannot be used: ".
    bool Open(const wxString& path, wxString& reason);
    bool IsOpen() const { return m_handle != kClosed; }
    void Close();

    // Appends the bytes, which end with a line feed, at the end of the file
    // without ever waiting on it: a write that would block fails.  A line
    // only partly written is completed, or else ended with a line feed where
    // there is room for one, so that nothing is glued to the fragment later.
    // On failure: false and the reason.
    bool Append(const char* data, std::size_t size, wxString& reason);

    // Whether path still names the file that is open: false after it was
    // deleted or replaced while we held it.
    bool IsStillAt(const wxString& path) const;

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t m_handle = kClosed;  // a descriptor, or a HANDLE on Windows
    bool m_lineOpen = false;           // the file's last line has no line feed yet
};

// Replaces the file at path with the bytes.  They go to a new file in the
// same folder, reach the disk, and only then take the target's name in one
// step: at every moment the target is either the old file or the new one,
// whole, and a failure leaves no new file behind.  A symbolic link at path
// stays a link: the file it points to is the one replaced.  A file that
// exists keeps its permissions.  On failure: false, and reason says why.
bool ReplaceFileContents(const wxString& path, const char* data, std::size_t size,
                         wxString& reason);
