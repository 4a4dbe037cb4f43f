#pragma once

#include "core/Msg.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tavro {

class TCustomBase;
class TEcho;
class TTemplate;

// The default name of an export file: the subject (display code page, a byte a character)
// with each of * / : < > ? \ and the double quote made "#", cut after 200 characters.
std::string ExportFileName(const std::string& subject);

// The name the save dialog chose, trimmed; with the text filter chosen, ".txt" is added
// unless the name already ends in it (any letter case).
std::string WithTextExtension(std::string name, bool textFilter);

// What the template makes of `message` in `area`: the body of a new message of `base`,
// which is then discarded. Export uses it without wrapping, printing with.
TBodyLines TemplateLines(TCustomBase& base, const TEcho& area, const TTemplate& tpl, bool wrap,
                         bool withKludges, TCustomMsg& message);

// A text file that exported messages go to, held with an exclusive lock (other writers are
// denied) until it is closed. A new or overwritten file is written in UTF-8 with LF line
// ends. Appending to a file that is not UTF-8 (an empty or ASCII file is) goes on in the
// OEM code page with CR LF, so a file never mixes the two. A write that fails leaves the
// file as it was before Open: an overwritten file is replaced only when it is closed, an
// appended one is cut back, a new one removed.
class TExportFile {
public:
    enum class TEncoding { Utf8, Oem };

    // Throws EFileError when the file cannot be created or opened. Appending to a file that
    // does not exist creates it.
    static std::unique_ptr<TExportFile> Open(const std::string& path, bool append);
    // Closes the file as Close does.
    ~TExportFile();
    TExportFile(const TExportFile&) = delete;
    TExportFile& operator=(const TExportFile&) = delete;

    TEncoding Encoding() const { return Encoding_; }
    // Writes the lines (display code page), each with its line end. False when the file
    // could not take them all: the file is then back as it was and takes nothing more.
    bool Write(const TBodyLines& lines);
    // Makes what was written durable and lets the file go; false when that failed, which
    // leaves the file as it was. After a failed Write it only lets go, answering false.
    bool Close();

private:
    enum class TMode {
        Append,  // written in place after what the file held
        Create,  // a new file written in place
        Replace, // a temporary beside the file, renamed over it at Close
    };
    TExportFile(std::string path, TMode mode);
    void OpenAppend(int fd);
    void OpenCreate(int fd);
    void OpenReplace();
    // Puts the file back as it was and lets it go.
    void Rollback();
    bool Finish();
    void Release();

    std::string Path;
    // The file written: Path, or the temporary.
    std::string WriteName;
    TMode Mode;
    TEncoding Encoding_ = TEncoding::Utf8;
    int Fd = -1;
    // The file being replaced, locked meanwhile.
    int GuardFd = -1;
    int64_t OriginalLength = 0;
    int64_t Length = 0;
    bool Failed = false;
};

} // namespace tavro
