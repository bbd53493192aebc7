// The one table of setup-pack's options, and the texts made from it: the usage line, --help,
// and the manual page's sections, so that none of them can name an option the parser does not
// take, or leave one out.
#include "options.h"

#ifndef VORLANE_VERSION
#error "VORLANE_VERSION names the project's version"
#endif

const pack_OptionDoc kPackOptions[] = {
    {"--name", "TEXT", kPackOptionPack,
     "The product name: ProductName, and FileDescription \"TEXT Setup\", in place of the package's "
     "ProductName."},
    {"--product-version", "N.N.N[.N]", kPackOptionPack,
     "FileVersion and ProductVersion (one to four numbers up to 65535, missing ones 0), in place "
     "of "
     "the package's ProductVersion."},
    {"--version", "N.N.N[.N]", kPackOptionOldSpelling,
     "The old spelling of --product-version, kept working when a value follows it."},
    {"--company", "TEXT", kPackOptionPack, "CompanyName, in place of the package's Manufacturer."},
    {"--icon", "FILE.ico", kPackOptionPack,
     "The icon, in place of the one the package's ARPPRODUCTICON names: an .ico file, or an "
     "executable or DLL whose first icon group is taken."},
    {"--keep-branding", nullptr, kPackOptionPack,
     "The stub's own version record and icon, unchanged; the package is not read as a database, "
     "so any file can be packed. Goes with none of --name, --product-version, --company and "
     "--icon."},
    {"--threads", "N", kPackOptionPack,
     "Compress with N threads (0: one per core; at most 256), as xz -9 -TN does: in blocks of 192 "
     "MiB, whose bytes do not depend on N. Without it the payload is one block, as xz -9 -T1 "
     "makes it."},
    {"--store-cabinets", nullptr, kPackOptionPack,
     "Pack a temporary copy of PACKAGE whose compressed embedded cabinets are stored uncompressed, "
     "which xz compresses far better; PACKAGE is not changed. A signed package is refused."},
    {"--no-architecture-question", nullptr, kPackOptionPack,
     "A stub whose string tables, in every language, lack the question that a 32-bit setup.exe "
     "asks on 64-bit Windows: for products that have no 64-bit version to recommend. The run then "
     "asks nothing."},
    {"--winget-manifest", "DIR", kPackOptionPack,
     "Also write the three files of a winget manifest (schema 1.10.0) into DIR, from what the "
     "package says and the options below; needs --installer-url and --license."},
    {"--installer-url", "URL", kPackOptionPack,
     "With --winget-manifest: where OUTPUT will be downloaded from (http or https)."},
    {"--winget-id", "ID", kPackOptionPack,
     "With --winget-manifest: the PackageIdentifier, in place of Publisher.Product made from the "
     "package's Manufacturer and ProductName."},
    {"--license", "TEXT", kPackOptionPack, "With --winget-manifest: the License field."},
    {"--short-description", "TEXT", kPackOptionPack,
     "With --winget-manifest: the ShortDescription, in place of the package's summary Comments "
     "or Subject."},
    {"--help", nullptr, kPackOptionInfo, "Print this help and exit."},
    {"--version", nullptr, kPackOptionInfo,
     "As the only argument: print setup-pack's version and exit."},
};
const size_t kPackOptionCount = sizeof kPackOptions / sizeof kPackOptions[0];

namespace {

constexpr size_t kHelpWidth = 79, kHelpIndent = 26;

std::string pack_optionTitle(const pack_OptionDoc& o)
{
    return o.value == nullptr ? o.name : std::string(o.name) + " " + o.value;
}

// text broken into lines of at most kHelpWidth, each after the first indented by indent; the
// first continues a line already indent long.
std::string pack_wrap(const std::string& text, size_t indent = kHelpIndent)
{
    std::string out;
    size_t column = indent;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(' ', at);
        std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (column > indent && column + 1 + word.size() > kHelpWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out + "\n";
}

// Roff takes a plain hyphen as a break point; the names of options must stay whole.
std::string pack_roff(const char* text)
{
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        out += *p == '-' ? "\\-" : *p == '\\' ? "\\e" : std::string(1, *p);
    }
    return out;
}

const char kExitStatus[] = "0 when OUTPUT was written (or --help or --version printed); 1 on any "
                           "failure, told in one line on standard error, and OUTPUT is left as it "
                           "was.";

}  // namespace

const char* pack_toolVersion() { return VORLANE_VERSION; }

std::string pack_usageLine()
{
    std::string line = "usage: setup-pack";
    for (size_t i = 0; i < kPackOptionCount; ++i) {
        if (kPackOptions[i].kind == kPackOptionPack) {
            line += " [" + pack_optionTitle(kPackOptions[i]) + "]";
        }
    }
    return line + " [STUB] PACKAGE OUTPUT\n";
}

std::string pack_helpText()
{
    std::string text =
        "usage: setup-pack [OPTION]... [STUB] PACKAGE OUTPUT\n"
        "       setup-pack --help | --version\n\n"
        "Puts PACKAGE, a Windows Installer package, XZ-compressed into a copy of the\n"
        "setup executable STUB, and writes it as OUTPUT. Without STUB, the 32-bit\n"
        "setup-stub.exe installed with setup-pack is taken. The version record and\n"
        "icon come from the package unless options say otherwise.\n\nOptions:\n";
    for (size_t i = 0; i < kPackOptionCount; ++i) {
        std::string title = "  " + pack_optionTitle(kPackOptions[i]);
        if (title.size() < kHelpIndent) {
            title.resize(kHelpIndent, ' ');
        } else {
            title += "\n" + std::string(kHelpIndent, ' ');
        }
        text += title + pack_wrap(kPackOptions[i].help);
    }
    return text + "\nExit status:\n  " + pack_wrap(kExitStatus, 2);
}

std::string pack_manSections()
{
    std::string man = ".SH OPTIONS\n";
    for (size_t i = 0; i < kPackOptionCount; ++i) {
        const pack_OptionDoc& o = kPackOptions[i];
        man += ".TP\n";
        man += o.value == nullptr ? ".B " + pack_roff(o.name)
                                  : ".BI " + pack_roff(o.name) + " \" " + pack_roff(o.value) + "\"";
        man += "\n" + pack_roff(o.help) + "\n";
    }
    return man + ".SH EXIT STATUS\n" + pack_roff(kExitStatus) + "\n";
}
