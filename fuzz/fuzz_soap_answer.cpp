// Feeds arbitrary SOAP answers to every reader the ONVIF client uses on a device's answers.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "onvif/OnvifSoap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace ov = tarsel::onvif;
    // The first byte chooses between the raw bytes and the bytes inside a SOAP body whose
    // prefixes are bound, so that the readers of each answer are reached too.
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1) != 0)
        text = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:tds=\""
               "http://www.onvif.org/ver10/device/wsdl\" xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" "
               "xmlns:tt=\"http://www.onvif.org/ver10/schema\"><s:Body>" + text.substr(1) + "</s:Body></s:Envelope>";
    ov::SoapAnswer answer;
    ov::ReadSoapAnswer(text, answer);
    if ((answer.status == ov::SoapStatus::Ok) != static_cast<bool>(answer.body)) std::abort();
    if (answer.status != ov::SoapStatus::Ok) return 0;
    ov::ParseSystemDateAndTime(answer.body);
    ov::DeviceInformation info;
    ov::ParseDeviceInformation(answer.body, info);
    ov::NetworkInterface network;
    if (ov::ParseNetworkInterfaces(answer.body, network) && network.prefixLength > 32) std::abort();
    ov::ParseMediaXAddr(answer.body);
    ov::ParseFirstProfileToken(answer.body);
    ov::ParseSnapshotUri(answer.body);
    return 0;
}
