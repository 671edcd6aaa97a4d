#pragma once

#include <QWidget>

namespace wavemill::about {

/// The About window.
class Form2 : public QWidget
{
    Q_OBJECT

public:
    explicit Form2(QWidget *parent = nullptr);
    void Form_Load();
};

} // namespace wavemill::about
