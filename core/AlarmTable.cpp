#include "core/AlarmTable.h"

#include <utility>

namespace vobrik {

namespace {

constexpr const char* ErrorCaption = "Error";
constexpr const char* FileAccessError = "File Access Error";
constexpr const char* FileWriteError = "File Write Error";

// Windows-1252 texts: 0xE8 is è, 0xE9 is é.
constexpr const char* CapacityCaption = "Vobrik";
} // namespace

const char* const TableFullText = "Vobrik ne peut pas garder plus de 100 alarmes.\n"
                                      "Supprimez-en une avant d'en ajouter une autre.";

namespace {

constexpr const char* TooManyInFileText = "ALARMS.VBK contient plus de 100 alarmes.\n"
                                          "Seules les 100 premi\xE8res sont affich\xE9"
                                          "es ; les autres restent conserv\xE9"
                                          "es dans le fichier.";

} // namespace

TAlarmTable::TAlarmTable(IAlarmList& list, IMessages& messages, IClock& clock, IFileOps& files,
                         std::string fileName)
    : List(list), Messages_(&messages), Clock_(clock), Files(files), FileName_(std::move(fileName)) {
}

void TAlarmTable::Clear() {
    while (AlarmCount > 0)
        Alarms[--AlarmCount].reset();
}

TLoadResult TAlarmTable::LoadAlarms() {
    std::vector<unsigned char> contents;
    switch (ReadWholeFile(Files, FileName_, contents)) {
    case TReadResult::NoFile:
        return TLoadResult::NoFile;
    case TReadResult::Failed:
        SaveBlocked = true;
        Messages_->MessageBox(FileAccessError, ErrorCaption, MB_OK);
        return TLoadResult::OpenFailed;
    case TReadResult::Read:
        break;
    }

    Clear();
    Overflow.clear();
    SaveBlocked = false;
    const size_t whole = contents.size() / AlarmRecordSize; // an incomplete tail is dropped
    for (size_t r = 0; r < whole; ++r) {
        const unsigned char* image = contents.data() + r * AlarmRecordSize;
        if (IsFull()) {
            Overflow.assign(image, image + (whole - r) * AlarmRecordSize);
            break;
        }
        auto alarm = std::make_unique<TAlarm>();
        DecodeAlarm(*reinterpret_cast<const unsigned char(*)[AlarmRecordSize]>(image), *alarm);
        alarm->Id = NextId++;
        Alarms[AlarmCount++] = std::move(alarm);
    }
    RefreshAlarmList();
    if (!Overflow.empty())
        Messages_->MessageBox(TooManyInFileText, CapacityCaption, MB_OK);
    return TLoadResult::Loaded;
}

bool TAlarmTable::SaveAlarms() {
    std::vector<unsigned char> image(static_cast<size_t>(AlarmCount) * AlarmRecordSize);
    for (int i = 0; i < AlarmCount; ++i)
        EncodeAlarm(*Alarms[i], *reinterpret_cast<unsigned char(*)[AlarmRecordSize]>(
                                    &image[i * AlarmRecordSize]));
    image.insert(image.end(), Overflow.begin(), Overflow.end());

    if (SaveBlocked || !SaveFileAtomically(Files, FileName_, image.data(), image.size())) {
        Messages_->MessageBox(FileWriteError, ErrorCaption, MB_OK);
        return false;
    }
    return true;
}

void TAlarmTable::RefreshAlarmList() {
    // Bubble sort with a last-swap bound: equal times are never swapped, so
    // reminders due at the same second keep their order.
    int n = AlarmCount - 1;
    while (n > 0) {
        int last = 0;
        for (int i = 0; i < n; ++i) {
            if (Alarms[i]->When > Alarms[i + 1]->When) {
                std::swap(Alarms[i], Alarms[i + 1]);
                last = i;
            }
        }
        n = last;
    }

    List.SetRedraw(false);
    List.Clear();
    for (int i = 0; i < AlarmCount; ++i) {
        const int line = List.AddString(Alarms[i]->Message);
        List.SetItemData(line, Alarms[i]->Id);
    }
    List.SetRedraw(true);
    List.Invalidate();
    List.Refreshed();
}

IMessages& TAlarmTable::SwapMessages(IMessages& messages) {
    IMessages& previous = *Messages_;
    Messages_ = &messages;
    return previous;
}

TAlarm* TAlarmTable::Append(const TAlarm& alarm) {
    if (IsFull())
        return nullptr;
    auto added = std::make_unique<TAlarm>(alarm);
    added->Id = NextId++;
    Alarms[AlarmCount] = std::move(added);
    return Alarms[AlarmCount++].get();
}

void TAlarmTable::RemoveByMovingLast(int i) {
    --AlarmCount;
    Alarms[i] = std::move(Alarms[AlarmCount]);
}

void TAlarmTable::AddAlarm(IAlarmEditor& editor) {
    if (IsFull()) {
        Messages_->MessageBox(TableFullText, CapacityCaption, MB_OK);
        return;
    }
    TAlarm fresh;
    fresh.When = Clock_.Now();
    fresh.Type = atOnce;
    fresh.EveryDays = 0;
    Append(fresh);
    if (editor.EditAlarm(AlarmCount - 1)) {
        RefreshAlarmList();
    } else {
        Alarms[--AlarmCount].reset();
    }
}

int TAlarmTable::FindSelected() {
    const int32_t wanted = List.GetItemData(List.GetSelIndex());
    if (wanted == -1)
        return -1;
    for (int i = 0; i < AlarmCount; ++i)
        if (Alarms[i]->Id == wanted)
            return i;
    return -1;
}

void TAlarmTable::ModifySelectedAlarm(IAlarmEditor& editor) {
    const int slot = FindSelected();
    if (slot >= 0 && editor.EditAlarm(slot))
        RefreshAlarmList();
}

void TAlarmTable::DeleteSelectedAlarm() {
    const int slot = FindSelected();
    if (slot >= 0) {
        for (int i = slot; i + 1 < AlarmCount; ++i)
            Alarms[i] = std::move(Alarms[i + 1]);
        Alarms[--AlarmCount].reset();
        RefreshAlarmList();
    }
    SaveAlarms();
}

} // namespace vobrik
