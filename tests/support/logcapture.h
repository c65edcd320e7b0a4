#pragma once

#include <QStringList>
#include <QtGlobal>

// Records the lines logged under one category while it lives (a message handler is process-wide,
// so captures must not overlap).
class LogCapture
{
public:
    explicit LogCapture(const char* category = "TXK");
    ~LogCapture();

    struct Line
    {
        QtMsgType type;
        QString text;
    };

    QList<Line> lines() const;
    QStringList texts() const;
    bool contains(QtMsgType type, const QString& text) const;

private:
    QtMessageHandler previous_;
};
