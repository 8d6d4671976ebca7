#pragma once

#include <QSerialPort>

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
