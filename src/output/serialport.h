#pragma once

#include <QIODevice>
#include <QString>

#include <memory>

class QFile;
class QSerialPort;

// A serial or parallel port by name, closed at rest. Its line settings are
// kept while it is closed and applied every time it opens. A device that is
// not a terminal (a parallel or USB printer node, a FIFO) is written as a
// plain device file.
class SerialPort final
{
public:
    enum QueryMode { Polling, EventDriven };
    enum BaudRateType { BAUD1200 = 1200, BAUD2400 = 2400, BAUD4800 = 4800, BAUD9600 = 9600,
                        BAUD19200 = 19200, BAUD38400 = 38400, BAUD57600 = 57600, BAUD115200 = 115200 };
    enum FlowType { FLOW_OFF, FLOW_HARDWARE, FLOW_XONXOFF };
    enum ParityType { PAR_NONE, PAR_ODD, PAR_EVEN, PAR_SPACE, PAR_MARK };
    enum DataBitsType { DATA_5 = 5, DATA_6 = 6, DATA_7 = 7, DATA_8 = 8 };
    enum StopBitsType { STOP_1, STOP_2 };
    enum LineStatusBit { LS_CTS = 0x01, LS_DSR = 0x02, LS_DCD = 0x04, LS_RI = 0x08,
                         LS_RTS = 0x10, LS_DTR = 0x20 };

    struct LineSettings
    {
        BaudRateType baudRate = BAUD9600;
        FlowType flowControl = FLOW_OFF;
        ParityType parity = PAR_NONE;
        DataBitsType dataBits = DATA_8;
        StopBitsType stopBits = STOP_1;
    };

    explicit SerialPort(const QString &name = QString(), QueryMode mode = EventDriven);
    ~SerialPort();

    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    QString portName() const { return name; }
    QueryMode queryMode() const { return mode; }

    void setBaudRate(BaudRateType rate) { settings.baudRate = rate; }
    void setFlowControl(FlowType flow) { settings.flowControl = flow; }
    void setParity(ParityType parity) { settings.parity = parity; }
    void setDataBits(DataBitsType bits) { settings.dataBits = bits; }
    void setStopBits(StopBitsType bits) { settings.stopBits = bits; }
    LineSettings lineSettings() const { return settings; }

    // Exclusive; applies the line settings before it returns true.
    bool open(QIODevice::OpenMode openMode);
    bool isOpen() const;
    // The modem lines as LineStatusBit flags; 0 when they cannot be read.
    unsigned long lineStatus();
    // Writes the bytes up to the first NUL; the count written, or -1.
    qint64 write(const char *data);
    // Waits until the written bytes have left the system's buffers.
    bool flush();
    void close();

    // Why the last open or write failed.
    QString errorString() const { return error; }

private:
    bool applySettings();

    QString name;
    QueryMode mode;
    LineSettings settings;
    std::unique_ptr<QSerialPort> serial;
    std::unique_ptr<QFile> plain;
    QString error;
};
