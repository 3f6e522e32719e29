#pragma once
// The camera table: one entry per camera, holding what its row shows and why. The engine
// decides an entry's status where a reply changes the camera (under the engine mutex), and
// the window and the command line only read the table and ask it for the few changes they
// make themselves (a setting under way, a reboot, an upgrade's progress, a verification).
// Every change notes the camera's MAC in the batch of the current search; one consumer
// takes the batch and reads the changed entries by MAC. No widgets here.
//
// The table is the one store of the cameras: each entry owns its camera's record, which
// the engine changes through a Records hold.
//
// Threads: every public function takes the table's own lock and may be called from any
// thread. The engine holds Records, and calls Clear, with its own mutex held (engine, then
// table: the table never calls the engine). The notify function runs with no lock of the
// table held; after a change the engine calls NotifyIfPending once it released its locks.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/CameraRecord.h"
#include "engine/CameraWarnings.h"
#include "engine/OnvifEntry.h"

namespace tarsel::onvif {
struct OnvifDevice;
}

// Status indexes of a camera row; each selects the row's status text and look.
enum StatusIndex : int {
    STATUS_INDEX_VIEW = 0,  // not verified
    STATUS_INDEX_VERIFIED = 1,
    STATUS_INDEX_SETTING = 2,
    STATUS_INDEX_NO_RESPONSE = 3,
    STATUS_INDEX_REBOOTING = 4,
    STATUS_INDEX_PROGRESS = 5,
    STATUS_INDEX_WAIT_UPGRADE = 6,
    STATUS_INDEX_VERIFY_FAIL = 7,
    STATUS_INDEX_UPGRADE_FAIL = 8,
    STATUS_INDEX_NO_IP = 9,
    STATUS_INDEX_SET_IP_NO_RESPONSE = 10,
    STATUS_INDEX_OTHER_ADAPTER = 11,
    STATUS_INDEX_ASSIGN_IP = 12,
    STATUS_INDEX_IGNORE = 13,
    STATUS_INDEX_AUTO_UNKNOWN = 15,
    STATUS_INDEX_VERIFY_UNKNOWN = 16,
    STATUS_INDEX_COUNT = 17,
};

// The English status text of an index ("View", "Setting", "NO IP"...); "" for 5 and others.
const char* StatusIndexText(int index);

// Has the setting sent by Save taken effect? Marks a setting older than 25 s as timed out.
// Engine mutex held.
bool SettingConfirmed(CameraRecord* record, uint32_t now);

// The status index a row shows after a reply: by the engine mode; in the search mode it
// also confirms or times out a pending setting. Engine mutex held.
struct StatusDecision {
    int index;
    bool confirmed;  // a pending setting was confirmed by this reply
};
StatusDecision ChooseStatusIndex(int32_t mode, CameraRecord* record, int currentIndex, uint32_t now);

// A command under way that no reply of the camera reports by itself.
enum class BusyAction { None, Setting, Default, Upgrade };

// The kinds of device a camera table lists. Each kind has its own identity key and its own
// member in the entry; a native camera is one of this family, found by discovery or over
// HTTP, and keyed by its MAC (MacKey); an ONVIF device of another maker is keyed by
// OnvifKey(endpoint) and is read-only.
enum class DeviceKind { Native, Onvif };

// One row of the table. The table owns the camera's record here; readers get copies, which
// carry no credentials.
struct CameraEntry {
    std::string key;                       // identity key: MacKey(record.mac) for a native camera
    DeviceKind kind = DeviceKind::Native;
    // For a native camera, the camera as the engine knows it. For an ONVIF device, the facts
    // its row shows in the same fields (name, ip, mask, mode, model, company, fwVersion,
    // serial, httpPort, adapter); its mac stays empty, so no MAC-keyed command reaches it.
    CameraRecord record{};
    // The ONVIF facts: always for an ONVIF device, for a native camera that answers ONVIF too.
    std::shared_ptr<const OnvifEntry> onvif;
    // Only in a change batch: the row went into another one (an ONVIF device found to be a
    // camera of this family); readers drop it.
    bool removed = false;
    int statusIndex = STATUS_INDEX_VIEW;
    std::string statusText;  // the caller's text for an index without one ("37%")
    int progress = 0;        // percent of an upgrade
    bool verified = false;   // verified since the search started
    bool settingConfirmed = false;  // the last setting was confirmed by a reply
    BusyAction busy = BusyAction::None;
    uint32_t busySince = 0;         // tick the command was sent
    uint32_t lastRequery = 0;       // tick of the last re-query of a rebooting camera
    bool wentSilent = false;        // a rebooting camera missed a re-query
    bool addressConflict = false;   // another host answered as this camera
    std::vector<std::string> warnings;  // kWarningDuplicateIp, kWarningForeignSubnet, kWarningAddressConflict
};

// The MACs whose entries changed since the last TakeChanges, in the order first changed.
struct CameraChangeBatch {
    uint32_t generation = 0;
    std::vector<std::string> macs;
};

// What the busy watcher does about one camera.
struct BusyDecision {
    enum Kind {
        Requery,         // a rebooting or defaulted camera: ask it again
        SettingExpired,  // a setting no reply ever confirmed
        DefaultExpired,  // a rebooted or defaulted camera that never came back
    };
    Kind kind;
    std::string mac;
    bool viaHttp;
};

class CameraTable {
    struct Slot;

public:
    // More cameras than a site can have: a host answering as endless MACs fills no more.
    static constexpr size_t kMaxCameras = 8192;
    static constexpr uint32_t kSettingBusyMs = 60000;
    static constexpr uint32_t kDefaultBusyMs = 100000;
    static constexpr uint32_t kRequeryEveryMs = 5000;
    // A rebooting camera that has not answered a re-query for this long has gone down.
    static constexpr uint32_t kSilentAfterMs = 4000;

    using Notify = std::function<void()>;
    using SubnetsOf = std::function<std::vector<AdapterSubnet>(const std::string& adapterName)>;

    CameraTable();

    // Called, without the table's lock, when the first change of a batch is noted.
    void SetNotify(Notify notify);
    // Where the subnets of an adapter come from (the host's adapters by default); asked at
    // most once a second per adapter.
    void SetSubnets(SubnetsOf subnetsOf);

    // ---- the engine's side (engine mutex held)
    // Empties the table for a new search.
    void Clear(uint32_t generation);

    // The engine's hold on the records it owns through the table: the table's lock, for as
    // long as the hold lives (engine mutex first, then this). Record pointers stay valid
    // until Clear; readers see every change once the hold is released.
    struct Decided {
        bool listed = false;
        bool confirmed = false;       // a pending setting was confirmed
        bool noneSetting = false;     // ... and no camera shows "Setting" any more
    };
    class Records {
    public:
        explicit Records(CameraTable& table) : m_table(table), m_guard(table.m_lock) {}
        CameraRecord* Find(const char* mac);
        // A new native camera's record (zeroed, its MAC set); null when the table is full.
        CameraRecord* Create(const char* mac);
        // A reply changed the camera: decides its status, remembers a verification and judges
        // its warnings. The record may be changed (a setting confirmed or timed out).
        Decided Decide(int32_t mode, CameraRecord* record, uint32_t now);
        // The record changed, its status did not: its row is noted as changed and judged.
        void Refresh(CameraRecord* record, uint32_t now);
        // Another host answered as this camera: its row is flagged (once) and noted.
        void FlagConflict(CameraRecord* record, uint32_t now);
        // Every record, listed or not yet.
        size_t Count() const { return m_table.m_slots.size(); }
        // Every native camera's record (an ONVIF device's display record is not the engine's).
        template <typename F>
        void ForEach(F f) {
            for (Slot& slot : m_table.m_slots)
                if (slot.entry.kind == DeviceKind::Native) f(slot.entry.record);
        }

    private:
        Slot& SlotOf(CameraRecord* record);
        CameraTable& m_table;
        std::lock_guard<std::mutex> m_guard;
    };
    // Calls the notify function when a batch started since the last call.
    void NotifyIfPending();

    // ---- ONVIF devices (the table's lock only; callable from any thread)
    // One device as a search heard it: a native camera listed at its address gains the
    // facts; otherwise its own row is added or updated. False when the table is full (a new
    // device is not listed).
    bool MergeOnvif(const tarsel::onvif::OnvifDevice& device, uint32_t now);
    // What a read with credentials found: the entry (by key) keeps the facts; its row turns
    // verified, "Verify Fail" for refused credentials, "No Response" for silence. An ONVIF
    // device's row shows the facts (maker, model, firmware, serial, mode, mask). A native
    // camera's row keeps its own status; a device joined to it whose MAC is another gets a
    // row of its own.
    void SetOnvifFacts(const std::string& key, tarsel::onvif::OnvifOutcome outcome,
                       const tarsel::onvif::OnvifFacts& facts);

    // An entry key from a MAC in any spelling or an ONVIF key.
    static std::string KeyOfText(const char* text);

    // ---- readers
    // Every function below that takes `mac` takes an entry's key as well: a MAC in any
    // spelling, or an ONVIF key (OnvifKey).
    uint32_t Generation() const;
    size_t Count() const;
    bool Find(const char* mac, CameraEntry* out) const;
    bool IsMacListed(const char* mac) const;
    // -1 when the camera is not listed.
    int StatusOf(const char* mac) const;
    bool AnyWithStatus(int index) const;
    std::vector<CameraEntry> Entries() const;  // in the order first listed
    // The entries of the MACs given, in that order; MACs no longer listed are left out, but
    // a row that went into another one comes as an entry with `removed` set.
    std::vector<CameraEntry> EntriesOf(const std::vector<std::string>& macs) const;
    CameraChangeBatch TakeChanges();

    // ---- what the window and the command line change
    void SetStatus(const char* mac, int index, const std::string& text = {});
    // An upgrade's percent (index 5 with "N%"), or -1 for "FW Upgrade Fail".
    void SetProgress(const char* mac, int percent);
    bool IsCameraVerified(const char* mac) const;
    void RememberAuthenticated(const char* mac);
    // The entry counts as not verified again (its record is the engine's to reset).
    void ForgetAuthenticated(const char* mac);
    // Shows the values a setting asked for as "Setting", watched, until the camera's record
    // changes (the send, a reply); the record itself keeps what the camera reported.
    void ShowSetting(const CameraRecord& shown, uint32_t now);
    // Shows the camera as "Rebooting" after a reboot or default command, watched until it
    // went silent and answered again, or the watch expired.
    void ShowRebooting(const char* mac, uint32_t now);
    void MarkBusy(const char* mac, BusyAction action, uint32_t now);
    void ClearBusy(const char* mac);
    BusyAction BusyOf(const char* mac) const;
    // Looks at every busy camera at tick `now` (the watcher calls it every 2 s). Expired
    // watches are ended; what is to be done about them is returned.
    std::vector<BusyDecision> ScanBusy(uint32_t now);

private:
    // The values Save asked for, shown in the row until the record changes.
    struct ShownSetting {
        std::string name, ip, mask, gateway, mode, port;
    };
    struct Slot {
        CameraEntry entry;
        size_t position = 0;             // in m_slots
        bool listed = false;             // decided at least once: it has a row readers see
        bool merged = false;             // an ONVIF row that went into a native camera's
        uint64_t judgedAddress = 0;      // the address the duplicate index holds it under
        std::optional<ShownSetting> shown;
    };
    struct AdapterSubnets {
        std::vector<AdapterSubnet> subnets;
        uint32_t since = 0;
    };

    // The slot of a listed camera (one with a row); FindAnyLocked also finds a record the
    // engine created but has not decided yet.
    Slot* FindLocked(const char* mac);
    const Slot* FindLocked(const char* mac) const;
    Slot* FindAnyLocked(const char* mac);
    // The entry as a reader sees it: the values a setting asked for shown.
    static CameraEntry ReaderCopy(const Slot& slot);
    // The address the row shows (the one asked for while a setting is shown).
    static const char* ShownIp(const Slot& slot);
    Decided DecideLocked(int32_t mode, Slot& slot, uint32_t now);
    void SetIndexLocked(Slot& slot, int index);
    void NoteChangedLocked(const CameraEntry& entry);
    void JudgeLocked(Slot& slot, uint32_t now);
    void JudgeWarningsLocked(Slot& slot);
    void RefreshSubnetsLocked(uint32_t now);
    const std::vector<AdapterSubnet>& SubnetsLocked(const std::string& adapter, uint32_t now);
    // ONVIF (CameraTableOnvif.cpp): the native camera listed at an address, if any; an
    // ONVIF-only row at the native slot's address goes into it.
    Slot* NativeAtLocked(uint64_t address);
    void AbsorbOnvifAtLocked(Slot& native);
    void MergeIntoLocked(Slot& native, Slot& onvifRow);
    // The row of an ONVIF-only device: its own (listed again if it had gone into a camera's)
    // or a new one, showing onvif; null when the table is full.
    Slot* OnvifRowLocked(std::shared_ptr<const OnvifEntry> onvif, uint32_t now);
    // The row shows the device's facts and the outcome of a read with credentials.
    void ShowOnvifOutcomeLocked(Slot& slot, tarsel::onvif::OnvifOutcome outcome);
    // The adapter address an ONVIF row shows: the one of its adapter's subnets that holds
    // the device, else the adapter's first.
    void ShowAdapterAddressLocked(CameraRecord& record, uint32_t now);
    // Runs notify outside the lock when `started` says a batch began.
    void AfterChange(bool started);
    template <typename Change>
    void ChangeEntry(const char* mac, Change change);

    mutable std::mutex m_lock;
    uint32_t m_generation = 0;
    std::deque<Slot> m_slots;                           // order of creation; never moved
    size_t m_listedCount = 0;
    std::unordered_map<std::string, size_t> m_byKey;    // MacKey -> position
    std::unordered_map<uint64_t, std::vector<size_t>> m_byAddress;  // duplicate-ip index
    int m_statusCounts[STATUS_INDEX_COUNT + 1] = {};
    std::vector<std::string> m_changed;                 // MACs of the batch, in order
    std::unordered_map<std::string, bool> m_changedKeys;
    bool m_notifyPending = false;
    Notify m_notify;
    SubnetsOf m_subnetsOf;
    std::unordered_map<std::string, AdapterSubnets> m_subnets;
    uint32_t m_subnetsCheckedAt = 0;
    bool m_subnetsChecked = false;
};

// Runs change(slot) on the MAC's entry under the lock; when it says the entry changed, the
// entry joins the batch, and the owner hears of a new batch once the lock is released.
template <typename Change>
inline void CameraTable::ChangeEntry(const char* mac, Change change) {
    bool started = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        Slot* slot = FindLocked(mac);
        if (slot == nullptr || !change(*slot)) return;
        NoteChangedLocked(slot->entry);
        started = m_notifyPending;
    }
    AfterChange(started);
}
