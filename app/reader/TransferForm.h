#pragma once

#include "core/Base.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QProgressBar;

namespace tavro {
struct TTransferBatch;
}

namespace tavro::app {

// The small modal dialog that copies, moves or writes marked messages one by one, with its
// progress and a Cancel that works between two messages.
class TTransferForm final : public QDialog {
    Q_OBJECT
public:
    enum TMode { tmCopy, tmMove, tmDelete, tmWrite };

    // One message of the job; false when it failed (it stays marked).
    using TStep = std::function<bool(TMsgId id)>;
    // Makes what was done durable (every few messages and at the end): the ids finished.
    using TFlush = std::function<TTransferBatch()>;
    // Takes the finished ids off the marks.
    using TUnmark = std::function<void(const std::vector<TMsgId>& ids)>;

    TTransferForm(TMode mode, std::vector<TMsgId> ids, TStep step, TFlush flush, TUnmark unmark,
                  QWidget* parent = nullptr);

    // Runs the job once the dialog is on screen; Accepted unless it was cancelled.
    int exec() override;
    // Stops the job after the message in hand, as Cancel does.
    void Cancel() { Cancelled = true; }
    // Moved messages whose copy was written but whose deletion failed.
    const std::vector<TMsgId>& CopiedNotDeleted() const { return NotDeleted; }

    static QString Title(TMode mode);

public slots:
    void reject() override;

private:
    void Run();
    void Apply(const TTransferBatch& batch);
    bool AskToContinue();

    std::vector<TMsgId> Ids;
    TStep Step;
    TFlush Flush;
    TUnmark Unmark;
    std::vector<TMsgId> NotDeleted;
    QProgressBar* Progress;
    bool Running = false;
    bool Cancelled = false;
};

} // namespace tavro::app
