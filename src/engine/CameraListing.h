#pragma once
// A camera as a listing shows it, the same for the command line's tables, JSON and CSV and
// for the window's export: the fields of its last reply, the local adapter it answered
// through, the row's status text and the warnings judged against the whole list.

#include <functional>
#include <string>
#include <memory>
#include <vector>

#include "engine/CameraWarnings.h"
#include "engine/OnvifEntry.h"

struct CameraRecord;
struct CameraEntry;

struct CameraListing {
    std::string name, mac, ip, mask, gateway, mode, fwVersion, model, company, serial;
    long long httpPort = 0;
    std::string adapter;      // the local adapter's address text
    std::string adapterName;  // its interface
    bool viaHttp = false;
    std::string status;       // as the window's list would show it, in English
    std::vector<std::string> warnings;  // "duplicate-ip", "foreign-subnet" (AddWarnings)
    // "native" for a camera of this family (which may answer ONVIF too: then `onvif` is set),
    // "onvif" for an ONVIF device of another maker (read-only; `mac` from its facts, if read).
    std::string protocol = "native";
    std::shared_ptr<const OnvifEntry> onvif;
};

// The listing of an engine record, with the adapter the record keeps; no status, no warnings.
CameraListing ListingOfRecord(const CameraRecord& record);

// The listing of a camera table entry: its record, the status its row shows (English) and
// its warnings.
CameraListing ListingOfEntry(const CameraEntry& entry);

// Fills each camera's warnings, judged against the whole list. The subnets of each adapter
// named are asked of `subnetsOf` (the host's adapters now by default) once per call.
using SubnetsOfAdapter = std::function<std::vector<AdapterSubnet>(const std::string& name)>;
void AddWarnings(std::vector<CameraListing>& cameras, const SubnetsOfAdapter& subnetsOf = AdapterSubnetsOf);
