#pragma once

#include <string>
#include <vector>

namespace tavro {

// What a template is used for; also the slot of a user's template list.
enum TTemplateKind : int {
    tkNew = 0,
    tkReply,
    tkQuote,
    tkComment,
    tkQuoteInArea,
    tkCommentInArea,
    tkForward,
    tkImportFromFile,
    tkExportToFile,
    tkExportToPrinter,
    tkConfirmReceipt,
};
constexpr int TemplateKindCount = 11;

// A message template: lines with "%" macros.
class TTemplate {
public:
    std::string Name = "<Unnamed>";
    std::vector<std::string> Lines;
    // Built in: never edited, deleted or stored.
    bool IsDefault = false;
};

// The built-in template of a kind, named "Default_New" and so on.
TTemplate MakeDefaultTemplate(TTemplateKind kind);

} // namespace tavro
