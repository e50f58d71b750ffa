#ifndef SIMULATORSERVER_H
#define SIMULATORSERVER_H

#include "ControllerSimulator.h"
#include "FaultPlan.h"

#include <QObject>
#include <QString>

class QSocketNotifier;
class QTcpServer;
class SimulatorLink;

// The simulated controller on a real line: a pseudo-terminal that serial clients open like a
// device, or a TCP port on 127.0.0.1 that clients reach like a serial-to-Ethernet converter. One
// controller model and one fault plan serve every client, so a program written over one
// connection can be read back over the next.
class SimulatorServer : public QObject
{
    Q_OBJECT
public:
    // verbose traces every request and reply on stderr.
    explicit SimulatorServer(const FaultPlan &plan, bool verbose = false,
                             QObject *parent = nullptr);
    ~SimulatorServer() override;

    // Opens a new pseudo-terminal in raw mode; *devicePath receives the path clients open. The
    // server keeps a descriptor of that side open itself, so clients may come and go.
    bool startPty(QString *devicePath, QString *error);
    // Listens on 127.0.0.1:port (0 picks a free port); *boundPort receives the port.
    bool startTcp(quint16 port, quint16 *boundPort, QString *error);

    // One request through the fault plan and the controller model.
    FaultPlan::Delivery exchange(const QByteArray &frame, const QString &lineName);

    ControllerSimulator &controller() { return m_controller; }
    const FaultPlan &faultPlan() const { return m_plan; }

private slots:
    void readPty();
    void acceptConnections();

private:
    ControllerSimulator m_controller;
    FaultPlan m_plan;
    bool m_verbose;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_ptyNotifier = nullptr;
    SimulatorLink *m_ptyLink = nullptr;
    QTcpServer *m_tcpServer = nullptr;
};

#endif
