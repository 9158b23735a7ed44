// Single-instance lock named after the application title, per user.
//
// The lock is a listening socket in the abstract local namespace, named
// from the user id and the title: binding it succeeds for exactly one
// process at a time, and the system releases it when the process ends,
// however it ends. The holder answers requests on it: a later launch asks
// it to bring forward a top-level window whose title is exactly the title
// (FindWindow and SetForegroundWindow on the holder's windows).
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <string>

class QSocketNotifier;
class QWidget;

namespace korvo {

class CSingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Acquired,      // this process holds the lock now
        AlreadyHeld,   // another process holds it
        Failed,        // the lock could not be created
    };

    explicit CSingleInstance(const std::string& title, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Takes the lock; needs no event loop.
    Outcome Acquire();
    bool Held() const { return m_fd >= 0; }

    // Holder: starts answering raise requests on the UI thread's event loop
    // (also inside modal loops). Needs a QApplication.
    void StartServing();
    // Stops answering (before the QApplication goes); the lock stays held.
    void StopServing();

    // Later launch: asks the holder to bring forward its window titled
    // exactly like the title. True when the holder reports it did; false
    // when it has none, or does not answer within the time limit.
    bool AskHolderToRaise(std::chrono::milliseconds timeout) const;

    // Name of the lock (without the leading zero byte of the abstract
    // namespace).
    static std::string LockName(const std::string& title);

    // The top-level window titled exactly `title`, or null.
    static QWidget* FindTopLevelWindow(const QString& title);

Q_SIGNALS:
    // A raise request was handled; raised is the window brought forward, or
    // null when no window bears exactly the title.
    void RaiseHandled(QWidget* raised);

private:
    void OnIncoming();

    std::string m_title;
    int m_fd = -1;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace korvo
