#pragma once

#include <QMetaMethod>
#include <QObject>
#include <QStringList>

// Records the names of every signal an object emits, in emission order, so that tests can check
// the order of deferred notifications (QSignalSpy keeps one list per signal and loses it).
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    explicit SignalRecorder(QObject* source) : QObject(source) {
        const QMetaObject* meta = source->metaObject();
        const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("record()"));
        for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.methodType() == QMetaMethod::Signal) connect(source, method, this, slot);
        }
    }

    QStringList names;

    void clear() { names.clear(); }
    int count(const QString& name) const { return names.count(name); }

public slots:
    void record() {
        const QMetaMethod signal = sender()->metaObject()->method(senderSignalIndex());
        names.append(QString::fromLatin1(signal.name()));
    }
};
