// SPDX-License-Identifier: MIT
#include "failure_message_box.h"

#include "lookup_command.h"

#include <QMessageBox>

namespace sheetfind {

void showFailureMessageBox(QWidget* parent, const InputFailure& failure) {
    const FailureMessage message = failureMessage(failure);
    QMessageBox box(QMessageBox::Warning, QString::fromStdString(message.title),
                    QString::fromStdString(message.text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace sheetfind
