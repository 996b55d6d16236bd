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
// A pseudo-terminal differs from a real port in two ways the bus evens out. The slave keeps its
// exclusive-use flag (TIOCEXCL) after the program closes it, because the master still holds the
// terminal, so a program without root rights could not open its port a second time; and bytes
// written while nobody has the port open would wait for the next opener. An inotify watch on the
// slave counts the program's opens and closes: when the last one closes, the bus clears the flag
// and the input queue, and while nobody has the port open its bytes are lost as on a real line.
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

    // Readable when the program has opened or closed the slave.
    int notifyFd() const { return notify_; }
    // Takes note of the opens and closes reported so far; true while the program has the port open.
    bool refreshAttached();

    // Points `linkPath` at the slave, replacing an older link there but never another kind of file.
    bool createLink(const QString& linkPath, QString* error);
    void removeLink();
    QString linkPath() const { return linkPath_; }

  private:
    int master_ = -1;
    int slave_ = -1;
    int notify_ = -1;
    int opens_ = 0; // descriptors of the slave held by others than the bus
    QString slavePath_;
    QString linkPath_;
};
