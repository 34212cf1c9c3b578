#include "SignalRecorder.h"

SignalRecorder::SignalRecorder(QObject* source) : QObject(source) {
    const QMetaObject* meta = source->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("record()"));
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() == QMetaMethod::Signal)
            connect(source, method, this, slot);
    }
}

void SignalRecorder::record() {
    const QMetaMethod signal = sender()->metaObject()->method(senderSignalIndex());
    names.append(QString::fromLatin1(signal.name()));
}
