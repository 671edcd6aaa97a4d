#include "about/form2.h"

#include "about/about_link.h"

namespace wavemill::about {

Form2::Form2(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(kLinkCaption);
}

void Form2::Form_Load()
{
    setFixedSize(350, 255);
}

} // namespace wavemill::about
