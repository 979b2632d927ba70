#include "platform/ShownText.h"

#include <cstdio>
#include <cstdlib>

void NoteShownText(const char* what, const wxString& text) {
    static const char* const path = std::getenv("VESTREL_SHOWN_LOG");
    if (path == nullptr || *path == '\0') {
        return;
    }
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\t%s\n", what, text.utf8_str().data());
        std::fclose(f);
    }
}
