#pragma once

#include <QWidget>

class EditArea;

/// The strip left of the text that shows line numbers. The edit area paints it.
class LineNumberGutter : public QWidget {
public:
    explicit LineNumberGutter(EditArea* area);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    EditArea* area_;
};
