#pragma once

#include "reader/MsgTransfer.h"

#include <QObject>

#include <map>
#include <memory>
#include <vector>

class QPrinter;

namespace tavro {
class TCustomBase;
class TEcho;
} // namespace tavro

namespace tavro::app {

class TViewForm;

// The reader's commands on messages: delete, copy and move to another area, write to a
// text file and print. They work on the marks, or without marks on the current message.
class TReaderOperations final : public QObject {
    Q_OBJECT
public:
    explicit TReaderOperations(TViewForm* form);
    ~TReaderOperations() override;

    void Delete();
    void Transfer(bool move);
    // The copy or move once the target area is chosen.
    void TransferTo(TEcho& target, bool move);
    void WriteToFile();
    void Print();

private:
    TCustomBase* OpenBase() const;
    // The ids to work on: the marks, or the current message's id, which is marked then.
    std::vector<TMsgId> WorkIds();
    void Unmark(const std::vector<TMsgId>& ids);
    TMsgId SubjectSource(TCustomBase& base) const;
    QString ChooseExportFile(TCustomBase& base, bool& append);
    void ReportNotDeleted(const std::vector<TMsgId>& ids);

    TViewForm* Form;
    // Per source area, moved messages whose copy is written but whose deletion failed.
    std::map<const TEcho*, TCopiedIds> Copied;
    // Kept, so that the printer and file chosen last are offered again.
    std::unique_ptr<QPrinter> Printer;
};

} // namespace tavro::app
