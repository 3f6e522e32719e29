// Feeds arbitrary datagrams to the discovery answer reader, as if each came back to one of
// this search's probes. The first input byte chooses between the raw bytes and the bytes
// placed inside a well-formed answer that relates to the search, so that the fuzzer also
// reaches the reading of matches, scopes and XAddrs.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "onvif/OnvifDeviceList.h"
#include "onvif/WsDiscovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static tarsel::onvif::ProbeSet probes = [] {
        tarsel::onvif::ProbeSet p;
        p.nvtMessageId = "urn:uuid:00000000-0000-4000-8000-000000000001";
        p.deviceMessageId = "urn:uuid:00000000-0000-4000-8000-000000000002";
        return p;
    }();
    std::string text(reinterpret_cast<const char*>(data), size);
    if (size > 0 && (data[0] & 1) != 0) {
        text = "<s:Envelope xmlns:s=\"http://www.w3.org/2003/05/soap-envelope\" xmlns:a=\""
               "http://schemas.xmlsoap.org/ws/2004/08/addressing\" xmlns:d=\"http://schemas.xmlsoap.org/ws/"
               "2005/04/discovery\" xmlns:dn=\"http://www.onvif.org/ver10/network/wsdl\"><s:Header><a:RelatesTo>" +
               probes.nvtMessageId + "</a:RelatesTo></s:Header><s:Body><d:ProbeMatches><d:ProbeMatch>"
               "<a:EndpointReference><a:Address>urn:uuid:x</a:Address></a:EndpointReference><d:Types>"
               "dn:NetworkVideoTransmitter</d:Types><d:Scopes>" + text.substr(1) + "</d:Scopes><d:XAddrs>" +
               text.substr(1) + "</d:XAddrs></d:ProbeMatch></d:ProbeMatches></s:Body></s:Envelope>";
    }
    const tarsel::onvif::ProbeAnswer answer = tarsel::onvif::ParseProbeAnswer(text, 0x0A000001, probes);
    if ((answer.error == tarsel::onvif::ProbeError::None) == answer.matches.empty()) std::abort();
    tarsel::onvif::OnvifDeviceList list(4);
    for (const auto& m : answer.matches) {
        // Every kept match has an identity and at least one XAddr; the chosen one is one of them.
        if (m.endpoint.empty() || m.xaddrs.empty()) std::abort();
        bool listed = m.xaddr.empty();
        for (const auto& x : m.xaddrs) listed |= x == m.xaddr;
        if (!listed) std::abort();
        list.Merge(m, "eth0", 0x0A000001);
    }
    if (list.Size() > 4) std::abort();
    return 0;
}
