// Texts of the dial-up service's result codes, in the service's own words.
#include "ras/RasApi.h"

namespace obu {

std::uint32_t registerDialEventMessage() {
    return kRasDialEventMessage;
}

const char* rasErrorText(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:
            return "You may not open the modem's serial device: join the group that owns it.";
        case ERROR_INVALID_HANDLE:
            return "The connection handle is not valid. The connection may have ended.";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "There is not enough memory to complete the operation.";
        case ERROR_INVALID_PARAMETER:
            return "A value passed to the dial-up service is not valid.";
        case ERROR_INSUFFICIENT_BUFFER:
            return "The buffer is too small for the text.";
        case ERROR_BUFFER_TOO_SMALL:
            return "The buffer is too small for all the results.";
        case ERROR_DEVICE_DOES_NOT_EXIST:
            return "The modem's device does not exist or is not a serial device.";
        case ERROR_BUFFER_INVALID:
            return "The buffer passed to the dial-up service is not valid.";
        case ERROR_PORT_DISCONNECTED:
            return "The line dropped while the call was being set up. The port was closed.";
        case ERROR_CANNOT_OPEN_PHONEBOOK:
            return "The phone book file cannot be opened.";
        case ERROR_CANNOT_LOAD_PHONEBOOK:
            return "The phone book file is too large or cannot be read.";
        case ERROR_CANNOT_FIND_PHONEBOOK_ENTRY:
            return "The phone-book entry cannot be found.";
        case ERROR_DISCONNECTION:
            return "The connection was closed.";
        case ERROR_REMOTE_DISCONNECTION:
            return "The connection was closed by the remote computer.";
        case ERROR_INVALID_SIZE:
            return "A record passed to the dial-up service has the wrong size.";
        case ERROR_PORT_NOT_AVAILABLE:
            return "The modem is already in use by another connection.";
        case ERROR_UNKNOWN:
            return "The dial-up service cannot keep its connection records.";
        case ERROR_FROM_DEVICE:
            return "The modem reported an error.";
        case ERROR_LINE_BUSY:
            return "The line is busy.";
        case ERROR_NO_ANSWER:
            return "The remote computer did not answer.";
        case ERROR_NO_CARRIER:
            return "No carrier: the remote modem did not respond.";
        case ERROR_NO_DIALTONE:
            return "There is no dial tone. Check that the modem is plugged into the phone line.";
        case ERROR_AUTHENTICATION_FAILURE:
            return "Access was denied because the user name or password is not valid.";
        case ERROR_PORT_OR_DEVICE:
            return "The modem does not respond. Check that it is switched on and connected.";
        case ERROR_RASMAN_CANNOT_INITIALIZE:
            return "This computer's kernel has no PPP support, so the connection cannot be made.";
        case ERROR_PPP_TIMEOUT:
            return "The remote computer stopped responding while the connection was set up.";
        case ERROR_PPP_NO_PROTOCOLS_CONFIGURED:
            return "PPP could not be started on this computer (pppd refused to run).";
        case ERROR_PPP_NO_RESPONSE:
            return "The remote computer stopped answering on the connection.";
        case ERROR_PPP_LCP_TERMINATED:
            return "The remote computer did not identify itself as required.";
        case ERROR_PPP_LOOPBACK_DETECTED:
            return "The line loops back: the modem hears its own computer.";
        case ERROR_IDLE_DISCONNECTED:
            return "The connection reached a time or traffic limit of its own options.";
        default:
            return nullptr;
    }
}

}  // namespace obu
