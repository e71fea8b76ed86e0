// Texts of the dial-up service's result codes, in the service's own words.
#include "dialup/phonebook/ErrorText.h"

namespace obu {

const char* dialUpErrorText(DialUpError code) {
    switch (code) {
        case dialup_error::AccessDenied:
            return "You may not open the modem's serial device: join the group that owns it.";
        case dialup_error::InvalidCall:
            return "The connection handle is not valid. The connection may have ended.";
        case dialup_error::NotEnoughMemory:
            return "There is not enough memory to complete the operation.";
        case dialup_error::InvalidParameter:
            return "A value passed to the dial-up service is not valid.";
        case dialup_error::DeviceDoesNotExist:
            return "The modem's device does not exist or is not a serial device.";
        case dialup_error::PortDisconnected:
            return "The line dropped while the call was being set up. The port was closed.";
        case dialup_error::CannotOpenPhoneBook:
            return "The phone book file cannot be opened.";
        case dialup_error::CannotLoadPhoneBook:
            return "The phone book file is too large or cannot be read.";
        case dialup_error::CannotFindEntry:
            return "The phone-book entry cannot be found.";
        case dialup_error::Disconnection:
            return "The connection was closed.";
        case dialup_error::RemoteDisconnection:
            return "The connection was closed by the remote computer.";
        case dialup_error::PortNotAvailable:
            return "The modem is already in use by another connection.";
        case dialup_error::Unknown:
            return "The dial-up service cannot keep its connection records.";
        case dialup_error::FromDevice:
            return "The modem reported an error.";
        case dialup_error::LineBusy:
            return "The line is busy.";
        case dialup_error::NoAnswer:
            return "The remote computer did not answer.";
        case dialup_error::NoCarrier:
            return "No carrier: the remote modem did not respond.";
        case dialup_error::NoDialTone:
            return "There is no dial tone. Check that the modem is plugged into the phone line.";
        case dialup_error::AuthenticationFailure:
            return "Access was denied because the user name or password is not valid.";
        case dialup_error::PortOrDevice:
            return "The modem does not respond. Check that it is switched on and connected.";
        case dialup_error::CannotInitialize:
            return "This computer's kernel has no PPP support, so the connection cannot be made.";
        case dialup_error::PppTimeout:
            return "The remote computer stopped responding while the connection was set up.";
        case dialup_error::PppNoProtocols:
            return "PPP could not be started on this computer (pppd refused to run).";
        case dialup_error::PppNoResponse:
            return "The remote computer stopped answering on the connection.";
        case dialup_error::PppLcpTerminated:
            return "The remote computer did not identify itself as required.";
        case dialup_error::PppLoopback:
            return "The line loops back: the modem hears its own computer.";
        case dialup_error::LimitReached:
            return "The connection reached a time or traffic limit of its own options.";
        default:
            return nullptr;
    }
}

}  // namespace obu
