#pragma once
// SIGTERM, SIGINT and SIGHUP turned into a Qt signal on the main thread (the handler only writes a byte), so
// that the app ends through its normal termination steps instead of dying with displays dimmed.

#include <QObject>

class QSocketNotifier;

namespace brivio {

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signal);

private:
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace brivio
