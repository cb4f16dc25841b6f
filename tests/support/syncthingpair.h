#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>

class QProcess;

// Two real Syncthing instances on 127.0.0.1, A and B, sharing one folder: another device that changes the notes
// open here the way a sync engine does. Everything they keep lives in a temporary folder of their own.
class SyncthingPair
{
public:
    enum Side
    {
        A,
        B
    };

    SyncthingPair();
    ~SyncthingPair();
    Q_DISABLE_COPY_MOVE(SyncthingPair)

    // Starts both and waits until they are connected and the folder is idle on both sides. Returns why not when
    // that fails (no syncthing, no connection within timeoutMs).
    QString start(int timeoutMs);
    void stop();

    // Where side keeps relativePath in the shared folder.
    QString path(Side side, const QString &relativePath) const;

    // Polls side's copy of relativePath until it holds bytes.
    bool waitUntilSynced(Side side, const QString &relativePath, const QByteArray &bytes, int timeoutMs);
    // Waits until both copies of the folder hold the same files with the same bytes and both sides are idle.
    bool waitUntilAgreed(int timeoutMs);

private:
    struct Instance
    {
        QString home;
        QString folder;
        QString deviceId;
        quint16 guiPort = 0;
        quint16 syncPort = 0;
        std::unique_ptr<QProcess> process;
    };

    QString prepare(Instance &instance, const QString &name);
    void writeConfig(Side side) const;
    bool launch(Side side);
    QProcessEnvironment environment() const;
    // One REST call; none when it failed.
    std::optional<QJsonDocument> rest(Side side, const QByteArray &verb, const QString &pathAndQuery);
    bool connected(Side side);
    bool idle(Side side);

    QTemporaryDir m_dir;
    Instance m_sides[2];
    QNetworkAccessManager m_network;
};
