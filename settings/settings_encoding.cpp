#include "settings/settings_encoding.h"

#include <algorithm>
#include <vector>

#include <wx/file.h>
#include <wx/log.h>

size_t ReadDetectedWriteUtf8::ToWChar(wchar_t* dst, size_t dstLen, const char* src,
                                      size_t srcLen) const
{
    return m_read.ToWChar(dst, dstLen, src, srcLen);
}

size_t ReadDetectedWriteUtf8::FromWChar(char* dst, size_t dstLen, const wchar_t* src,
                                        size_t srcLen) const
{
    return wxConvUTF8.FromWChar(dst, dstLen, src, srcLen);
}

TextRead ReadSettingsText(const wxString& path, size_t maxBytes, LongFile longer, wxString& text)
{
    text.clear();
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path))
        return TextRead::Unreadable;
    const wxFileOffset length = file.Length();
    if (length < 0)
        return TextRead::Unreadable;
    const unsigned long long fileSize = static_cast<unsigned long long>(length);
    if (fileSize > maxBytes && longer == LongFile::Refuse)
        return TextRead::TooLong;
    const size_t size = static_cast<size_t>(std::min<unsigned long long>(fileSize, maxBytes));
    if (size == 0)
        return TextRead::Read;
    std::vector<char> bytes(size + 1, '\0');
    if (file.Read(bytes.data(), size) != static_cast<ssize_t>(size))
        return TextRead::Unreadable;
    const ReadDetectedWriteUtf8 conv;
    if (conv.ToWChar(nullptr, 0, bytes.data(), size) == wxCONV_FAILED)
        return TextRead::BadEncoding;
    text = wxString(bytes.data(), conv, size);
    return TextRead::Read;
}
