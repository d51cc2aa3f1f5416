#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QWidget;

namespace kb {

class Dialogs;

// One running program per recipe file. The first start on a file listens on a local socket
// named after the application title, the user and the file's folder (nameFor), outside any
// folder so that TMPDIR does not matter; a later start on that file connects to it, asks the
// running window to come to the front, and ends without opening anything, while a start on
// another file runs beside it. Both ends check that the other is a process of the same user.
// The running program also holds the lock beside its recipe file, which a second copy meets
// whatever its environment or user.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // `name` defaults to the application title and the user's id.
    explicit SingleInstance(const QString& name = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The name of the copies that keep their recipe file in `folder`.
    static QString nameFor(const QString& folder);

    // True when this process is now the one running instance. False when another one runs;
    // that one has then been asked to activate its window.
    bool claim();

    QString serverName() const { return m_name; }

    // Takes the lock beside the recipe file in `folder` for the life of this object. When a
    // running program holds it: hands over to that program where it can, else says in words
    // that the file is open in another window. False then: end without opening the file.
    bool holdRecipeFile(const QString& folder, Dialogs& dialogs);

    // Asks a running instance to come to the front, without any Qt application object, so that
    // a second start can end before it builds one. True when one answered the call.
    static bool handOver(const QString& name = {});

  signals:
    // A later start asked this instance to bring its window to the front.
    void activateRequested();

  private:
    bool askRunningToActivate() const;

    QString m_name;
    QLockFile m_lock;
    std::unique_ptr<QLockFile> m_fileLock;
    std::unique_ptr<QLocalServer> m_server;
};

// Restores a minimised window and brings it to the front.
void bringToFront(QWidget* window);

} // namespace kb
