#include "platform/qt_message_box.h"

#include <QMessageBox>

namespace wavemill::platform {

void QtMessageBox::show(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Wavemill"), text, QMessageBox::Ok,
                    m_parent);
    box.exec();
}

} // namespace wavemill::platform
