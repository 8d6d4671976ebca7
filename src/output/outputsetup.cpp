#include "outputsetup.h"

OutputSetup decideOutput(const OutputSelection &selection, bool portModeNow)
{
    OutputSetup setup;
    setup.useSerialPort = selection.hasMode ? selection.choice.useSerialPort : portModeNow;
    setup.portEncoding = selection.portEncoding;
    setup.portCodeTable = selection.portCodeTable;
    setup.portCutPaper = selection.portCutPaper;
    setup.portOpenDrawer = selection.portOpenDrawer;
    if (selection.hasMode && selection.hasPort) {
        if (setup.useSerialPort)
            setup.portName = selection.choice.printerPort;
        else
            setup.printerName = selection.choice.printerPort;
    }
    return setup;
}
