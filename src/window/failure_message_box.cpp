#include "failure_message_box.h"

#include <QMessageBox>

namespace sheetfind {

void showFailureMessageBox(QWidget* parent, const LookupFailure& failure, const QLocale& locale) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Sheetfind Reference"),
                    describe(failure, locale), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace sheetfind
