#pragma once

#include <QSerialPort>
#include <QString>

#include <memory>

class QFile;

// The line receipt printers expect: 9600 baud, 8 data bits, no parity,
// 2 stop bits, no flow control.
struct SerialLine
{
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::TwoStop;
    QSerialPort::FlowControl flowControl = QSerialPort::NoFlowControl;
};

// A receipt printer's port by name, closed at rest: it opens for one invoice,
// takes the bytes, and closes again. A device that is not a terminal (a
// parallel or USB printer node, a FIFO) is written as a plain device file.
class SerialPort final
{
public:
    explicit SerialPort(const QString &name, const SerialLine &line = SerialLine());
    ~SerialPort();

    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    QString portName() const { return name; }
    SerialLine line() const { return settings; }

    // Read-write and exclusive; a serial line gets the line settings before
    // this returns true.
    bool open();
    bool isOpen() const;
    // Whether the device asserts DSR; false when the modem lines cannot be read.
    bool deviceReady();
    // Hands all the bytes to the system, or fails.
    bool write(const QByteArray &bytes);
    // Waits until the written bytes have left the system's buffers.
    bool flush();
    void close();

    // Why the last open or write failed.
    QString errorString() const { return error; }

private:
    bool applySettings();

    QString name;
    SerialLine settings;
    std::unique_ptr<QSerialPort> serial;
    std::unique_ptr<QFile> plain;
    QString error;
};
