#pragma once
// One running app per user session: the first launch listens on a local socket; a later launch asks
// it to open its panel and then exits. The command line sends brightness steps on the same socket.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace brivio {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `name` is the socket name; tests pass their own so they never meet a running app.
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);

    // True when this process is now the one instance. False when another answered: it has been asked
    // to open its panel and this process should exit.
    bool claim();

    static QString defaultName();

Q_SIGNALS:
    // Another launch asked this instance to show itself.
    void activationRequested();
    // `brivioctl step up` (+1) or `step down` (-1).
    void stepRequested(int direction);

private:
    bool askRunningInstance();
    QString name_;
    QLocalServer server_;
};

} // namespace brivio
