#pragma once

#include <QFutureWatcher>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <vector>

class EditArea;

/// The status bar's element path at the caret: `html › body › main#content › ul.nav › li`, as a
/// browser nests the page's elements. Read on a worker once the caret rests; a click on a part
/// selects that element.
class ElementPath : public QLabel {
    Q_OBJECT
public:
    explicit ElementPath(QWidget* parent = nullptr);
    ~ElementPath() override;

    /// The edit area followed from now on; nullptr for none.
    void follow(EditArea* area);

    struct Part {
        QString label;
        int start = 0; ///< the element, from its start tag's `<` to past its end tag's `>`
        int end = 0;
    };
    /// The path at @p position of @p page.
    static std::vector<Part> at(const QString& page, int position);
    const std::vector<Part>& parts() const { return parts_; }
    /// Selects part @p index's element, as a click on it does.
    void choose(int index);

    static constexpr int kRestMs = 150;

signals:
    /// The path was read and shown; for tests.
    void shown();

private:
    void read();

    QPointer<EditArea> area_;
    QTimer rest_;
    QFutureWatcher<std::vector<Part>> reading_;
    std::vector<Part> parts_;
    QList<QMetaObject::Connection> watching_;
};
