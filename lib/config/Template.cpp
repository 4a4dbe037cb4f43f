#include "Template.h"

namespace tavro {

namespace {

const std::string Border = "+" + std::string(77, '-') + "+";
const std::string ForwardEnd = "----- End Forward " + std::string(61, '-');

const char* const Names[TemplateKindCount] = {
    "Default_New",          "Default_Reply",           "Default_Quote",          "Default_Comment",
    "Default_QuoteInArea",  "Default_CommentInArea",   "Default_Forward",        "Default_ImportFromFile",
    "Default_ExportToFile", "Default_ExportToPrinter", "Default_ConfirmReceipt",
};

// A reply-like template: greeting, the line naming the answered message, the cursor line.
std::vector<std::string> Answer(const std::string& intro, const std::string& cursor) {
    return {"Hello %ToName!", intro, "", cursor, "", "Bye, %FromName."};
}

std::vector<std::string> Export() {
    return {Border,
            "|Area: %QAREA%#78.|",
            "|From: %QFROM (%QFROMADDR) at %QFROMDATETIME%#78.|",
            "|To  : %QTO (%QTOADDR) at %QTODATETIME%#78.|",
            "|Subj: %QSUBJ%#78.|",
            Border,
            "%QBODY"};
}

std::vector<std::string> Lines(TTemplateKind kind) {
    switch (kind) {
    case tkNew:
        return {"Hello %ToName!", "", "%Cursor", "", "Bye, %FromName."};
    case tkReply:
        return Answer("In reply to your message dated  %QFromDateTime:", "%Cursor");
    case tkQuote:
        return Answer("%QFromDateTime, %QFrom wrote to %QTo:", "%Cursor%Quote");
    case tkComment:
        return Answer("On %QFromDate at %QFromTime %QFrom writes to %QTo:", "%Cursor%Quote");
    case tkQuoteInArea:
        return Answer("%QFromDateTime, %QFrom wrote to %QTo in area %QArea:", "%Cursor%Quote");
    case tkCommentInArea:
        return Answer("On %QFromDate at %QFromTime %QFrom writes to %QTo in area %QArea:", "%Cursor%Quote");
    case tkForward:
        return {"Hello %ToName!",
                "I believe this may be interesting:",
                Border,
                "|Forwarded by %FROM (%FROMADDR) at %FROMDATETIME%#78.|",
                "|Area: %QAREA%#78.|",
                "|From: %QFROM (%QFROMADDR) at %QFROMDATETIME%#78.|",
                "|To  : %QTO (%QTOADDR) at %QTODATETIME%#78.|",
                "|Subj: %QSUBJ%#78.|",
                Border,
                "",
                "%QBODY",
                "",
                ForwardEnd,
                "",
                "%Cursor",
                "",
                "Bye, %FromName."};
    case tkImportFromFile:
        return {"", "====== Cut from here ======", "%FileText", "======= Cut to here =======", "", "%Cursor"};
    case tkExportToFile:
        return Export();
    case tkExportToPrinter: {
        std::vector<std::string> lines = Export();
        lines.push_back(Border);
        return lines;
    }
    case tkConfirmReceipt:
        return {"This is a confirmation that your message to %QToName,",
                "written on %QFromDateTime regarding '%QSubj',", "has been read at %FromTime on %FromDate.",
                "", "If your message requires an answer, %FromName will respond when time permits."};
    }
    return {};
}

} // namespace

TTemplate MakeDefaultTemplate(TTemplateKind kind) {
    TTemplate t;
    t.Name = Names[kind];
    t.Lines = Lines(kind);
    t.IsDefault = true;
    return t;
}

} // namespace tavro
