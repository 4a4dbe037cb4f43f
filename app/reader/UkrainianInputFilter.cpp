#include "UkrainianInputFilter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QInputMethod>
#include <QKeyEvent>

namespace tavro::app {

namespace {

constexpr char16_t CapitalI = u'\u0406';
constexpr char16_t SmallI = u'\u0456';

} // namespace

QString ReplaceUkrainianI(const QString& text, const QLocale& inputLocale) {
    if (inputLocale.language() != QLocale::Ukrainian)
        return text;
    QString result = text;
    result.replace(QChar(CapitalI), QLatin1Char('I'));
    result.replace(QChar(SmallI), QLatin1Char('i'));
    return result;
}

bool TUkrainianInputFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QObject::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const QString replaced = ReplaceUkrainianI(key->text(), QGuiApplication::inputMethod()->locale());
    if (replaced == key->text())
        return QObject::eventFilter(watched, event);
    QKeyEvent substitute(key->type(), Qt::Key_I, key->modifiers(), replaced, key->isAutoRepeat(),
                         key->count());
    QCoreApplication::sendEvent(watched, &substitute);
    return true;
}

} // namespace tavro::app
