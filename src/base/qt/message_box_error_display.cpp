#include "base/qt/message_box_error_display.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace base {

void MessageBoxErrorDisplay::Show(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    // Messages can quote bytes from the serial line; they must never be read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace base
