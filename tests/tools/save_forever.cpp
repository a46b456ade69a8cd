// Saves a large text over the same file again and again, each time with
// other content, until it is killed: the other half of the test that kills
// a save at random moments.  Prints "saving" once the first save is under way.
//   save_forever FILE LINES [once]   (each line is 64 bytes; once: one save, then exit)
#include <cstdio>
#include <cstdlib>

#include <wx/init.h>
#include <wx/string.h>

#include "platform/text_file_save.h"

int main(int argc, char** argv)
{
    if (argc != 3 && argc != 4)
    {
        std::fprintf(stderr, "usage: save_forever FILE LINES [once]\n");
        return 2;
    }
    wxInitializer toolkit;
    const wxString path = wxString::FromUTF8(argv[1]);
    const size_t lines = static_cast<size_t>(std::strtoul(argv[2], nullptr, 10));
    wxString texts[2];
    for (int which = 0; which < 2; ++which)
    {
        // Every line says which save it belongs to, so that a reader can
        // tell a whole file from a mixed or cut one.
        const wxString line = wxString::Format(L"%c", which ? L'B' : L'A') + wxString(L'.', 62) + L"\n";
        texts[which].reserve(lines * 64);
        for (size_t i = 0; i < lines; ++i)
            texts[which] += line;
    }
    std::printf("saving\n");
    std::fflush(stdout);
    const bool once = argc == 4;
    for (unsigned long round = 0;; ++round)
    {
        wxString problem;
        if (!SaveTextAtomically(path, texts[round % 2], problem))
        {
            std::fprintf(stderr, "%s\n", static_cast<const char*>(problem.utf8_str()));
            return 1;
        }
        if (once)
            return 0;
    }
}
