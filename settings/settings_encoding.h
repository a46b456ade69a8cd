#pragma once

#include <cstddef>

#include <wx/convauto.h>
#include <wx/strconv.h>
#include <wx/string.h>

// Reads whatever encoding automatic detection finds (a BOM, UTF-8, else
// Latin-1) and always writes UTF-8.  The toolkit's file configuration uses one
// conversion for both directions, and the detected one would write a UTF-16
// file back without its BOM, which no later start could read.
class ReadDetectedWriteUtf8 : public wxMBConv
{
public:
    size_t ToWChar(wchar_t* dst, size_t dstLen, const char* src,
                   size_t srcLen = wxNO_LEN) const override;
    size_t FromWChar(char* dst, size_t dstLen, const wchar_t* src,
                     size_t srcLen = wxNO_LEN) const override;
    size_t GetMBNulLen() const override { return 1; }
    wxMBConv* Clone() const override { return new ReadDetectedWriteUtf8; }

private:
    wxConvAuto m_read;
};

// What ReadSettingsText does with a file longer than it may read.
enum class LongFile
{
    Refuse,       // reads nothing of it
    ReadItsStart  // reads as much as it may
};

enum class TextRead
{
    Read,          // the text is there; empty for an empty file
    Unreadable,    // it cannot be opened or read
    TooLong,       // refused unread
    BadEncoding    // the bytes are not text in the detected encoding
};

// The text of the file at path, up to maxBytes of it, decoded as
// ReadDetectedWriteUtf8 reads it.  The toolkit's messages are not shown.
TextRead ReadSettingsText(const wxString& path, size_t maxBytes, LongFile longer, wxString& text);
