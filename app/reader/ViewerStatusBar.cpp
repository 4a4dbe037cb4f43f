#include "ViewerStatusBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace tavro::app {

TViewerStatusBar::TViewerStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < PanelCount; ++i) {
        auto* panel = new QLabel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setTextFormat(Qt::PlainText);
        panel->setContentsMargins(4, 0, 4, 0);
        // The last panel takes what is left, so long texts ("Compiling ...") are not cut.
        if (i + 1 < PanelCount)
            panel->setFixedWidth(PanelWidths[i]);
        else
            panel->setMinimumWidth(PanelWidths[i]);
        addWidget(panel, i + 1 < PanelCount ? 0 : 1);
        Panels[i] = panel;
    }
    Progress_ = new QProgressBar(Panels[1]);
    Progress_->setObjectName(QStringLiteral("ProgressBar"));
    Progress_->setRange(0, 100);
    Progress_->setTextVisible(false);
    auto* layout = new QHBoxLayout(Panels[1]);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(Progress_);
    Progress_->hide();
}

QLabel* TViewerStatusBar::Panel(int panel) const {
    return panel >= 0 && panel < PanelCount ? Panels[panel] : nullptr;
}

void TViewerStatusBar::SetText(int panel, const QString& text) {
    if (QLabel* label = Panel(panel))
        label->setText(text);
}

QString TViewerStatusBar::Text(int panel) const {
    const QLabel* label = Panel(panel);
    return label ? label->text() : QString();
}

void TViewerStatusBar::ShowProgress(int percent) {
    if (percent < 0) {
        Progress_->setRange(0, 0);
    } else {
        Progress_->setRange(0, 100);
        Progress_->setValue(qMin(percent, 100));
    }
    Progress_->show();
}

void TViewerStatusBar::HideProgress() {
    Progress_->hide();
}

} // namespace tavro::app
