#pragma once
// The pseudo-terminal pair the simulated bus lives on.
//
// The program opens the slave like any serial port. The simulator serves the master and also keeps
// a descriptor of the slave of its own, opened before anyone else can open it (TIOCEXCL only
// refuses later opens; the program's flock does not conflict with a descriptor that holds no lock):
//  - it keeps the slave side alive while the program has the port closed, so the master never
//    reports a hang-up (EIO, POLLHUP) between two connects;
//  - it reads the line settings the program applied: the slave's termios are one set shared by all
//    descriptors of the slave, and TCGETS2 reports the speed as a plain number even when the
//    program set it with BOTHER. (On Linux a TCGETS on the master answers with the slave's termios
//    too; packet mode TIOCPKT only reports flushes and flow control, not speed changes.)
#include <QString>

class SimPty {
public:
    SimPty() = default;
    ~SimPty();
    SimPty(const SimPty&) = delete;
    SimPty& operator=(const SimPty&) = delete;

    bool open(QString* error);
    void close();
    bool isOpen() const { return master_ >= 0; }

    int masterFd() const { return master_; }
    QString slavePath() const { return slavePath_; }

    // The output speed the slave is set to, in baud; 0 while closed.
    int lineSpeed() const;

    // Points `linkPath` at the slave, replacing an older link there but never another kind of file.
    bool createLink(const QString& linkPath, QString* error);
    void removeLink();
    QString linkPath() const { return linkPath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString linkPath_;
};
