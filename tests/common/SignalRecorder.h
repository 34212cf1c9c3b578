#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QStringList>

// Records the names of every signal an object emits, in emission order, so that tests can check
// the order of deferred notifications (QSignalSpy keeps one list per signal and loses it).
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    explicit SignalRecorder(QObject* source);

    QStringList names;

    void clear() { names.clear(); }
    int count(const QString& name) const { return names.count(name); }

public slots:
    void record();
};
