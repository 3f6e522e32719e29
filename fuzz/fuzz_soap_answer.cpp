// Feeds arbitrary SOAP answers to every reader the ONVIF client uses on a device's answers.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "onvif/OnvifSoap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace ov = tarsel::onvif;
    ov::SoapAnswer answer;
    ov::ReadSoapAnswer(std::string_view(reinterpret_cast<const char*>(data), size), answer);
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
