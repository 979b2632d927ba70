// The language a person reads: the program's texts translated through
// gettext catalogs (text domain "vestrel"), chosen from the environment as
// every desktop program does.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Sets the C library's locale from the environment (numbers, dates), picks
// the first language of LANGUAGE, LC_ALL, LC_MESSAGES, LANG that has a
// catalog and loads it (the toolkit's comes later, see below). English where none fits or
// the locale is C, never an error; LANGUAGE is set to the language chosen,
// so that the toolkit's texts follow it. Made first thing in main(); the catalogs
// are let go when it ends.
class Translations {
  public:
    Translations();
    ~Translations();
    Translations(const Translations&) = delete;
    Translations& operator=(const Translations&) = delete;
};

// Adds the toolkit's own catalog (stock buttons, the command-line parser's
// words) in the language in use. It is bigger than the program's and no
// window shows its texts at the start, so it is loaded when first needed:
// before parsing a command line, before a box, after the main window is up.
// Main thread; once.
void LoadToolkitTranslations();

// The language in use as a catalog names it ("de", "pt_BR"); "en" for the
// English texts.
std::string TranslationLanguage();

// Names a translated file may carry for the language in use, best first:
// "pt_BR" then "pt"; none for English.
std::vector<std::string> TranslationLanguageNames();

// True when the language in use is written right to left.
bool RightToLeftLanguage();

// Lays the toolkit's windows out in the direction of the language in use
// (mirrored for Arabic): the toolkit would go by its own catalogs, which
// may be of another language. After the toolkit started, before any window.
void UseLanguageDirection();

// `english` in the language in use, as UTF-8; for code that works in
// std::string. Window code uses wxWidgets' _() and wxPLURAL.
const char* Tr(const char* english) __attribute__((format_arg(1)));
// The form of `one`/`many` that number `n` takes in the language in use.
const char* TrPlural(const char* one, const char* many, unsigned long n)
    __attribute__((format_arg(1), format_arg(2)));

// printf into a std::string, for a translated sentence with placeholders
// (`%1$s` lets a translation reorder them). Numbers follow the locale: only
// for text a person reads.
std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace platform
