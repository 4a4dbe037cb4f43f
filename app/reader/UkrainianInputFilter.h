#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

namespace tavro::app {

// The Ukrainian letters I and i exist in the display code page but not in the OEM code page
// of the bases; typed on a Ukrainian layout they become the Latin letters, which look the
// same and survive storage.
QString ReplaceUkrainianI(const QString& text, const QLocale& inputLocale);

// Applies the replacement to every key press of the application.
class TUkrainianInputFilter : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace tavro::app
