#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

/// The About window: a fixed-size tool window that exists only while it is shown.
class AboutWindow : public QWidget {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);

    QLabel* titleLabel = nullptr;
    QGroupBox* versionBox = nullptr;
    QGroupBox* webpageBox = nullptr;
    QGroupBox* aboutBox = nullptr;
    QLineEdit* webpageField = nullptr;
    QLineEdit* versionField = nullptr;
    QPlainTextEdit* descriptionField = nullptr;
    QPushButton* closeButton = nullptr;
};
