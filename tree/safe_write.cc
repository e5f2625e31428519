#include "tree/safe_write.h"

#include <memory>
#include <utility>

#include "job/backup.h"
#include "job/messages.h"
#include "tree/file_walk.h"

namespace qfmt::tree {

// note [safe writes]
// Everything happens in the file's open folder, by its name there, without
// following a symbolic link (a link named on the command line was resolved
// before, and stays a link). The new text goes to a temporary file beside
// the file, with the file's flags (chattr's), permission bits, owner, group
// and extended attributes (access control lists among them), and is synced
// and read back. Then, with the file locked against a qfmt run on it and
// signals held back:
//
// - Normally the temporary file takes the file's place. The file is checked
//   once more immediately before (device, inode, size, modification and
//   change times), and the names are exchanged in one step where the system
//   can, so that a save by an editor in the instant between the check and
//   the exchange is seen: the file then taken out is not the one that was
//   read, and it goes back.
// - A file with more than one name (hard links), and one whose owner or group
//   the program cannot give a new file, is written in place instead, so that
//   every name sees the new text and nothing about the file changes but its
//   text. This is not one step: its old text is first kept, synced, in a
//   second file beside it whose name tells whose text it holds (see
//   EarlierTextName), and stays there until the new text is synced and read
//   back; a write that fails puts the old text back. Should the program be
//   killed meanwhile, the next run finds the copy and leaves the file alone
//   until the user has looked (see CheckNoCutShortWrite).

namespace {

constexpr std::string_view kChanged = "changed while it was being formatted; left as it is";

platform::Status Error(std::string text) { return {std::move(text)}; }

// One file with the same text and times. A rename changes a file's status
// change time, but not these.
bool SameContent(const platform::FileInfo& a, const platform::FileInfo& b) {
  return a.device == b.device && a.inode == b.inode && a.size == b.size && a.modified_ns == b.modified_ns;
}

bool Unchanged(const platform::FileInfo& now, const platform::FileInfo& as_read) {
  return SameContent(now, as_read) && now.changed_ns == as_read.changed_ns;
}

bool UnchangedOnDisk(platform::FileSystem& files, const FileAt& file, const platform::FileInfo& as_read) {
  platform::FileInfo now;
  return files.Inspect(file.place(), false, now).ok() && Unchanged(now, as_read);
}

platform::Status WriteWhole(platform::OutputFile& file, std::string_view text) {
  if (!file.Write(text.data(), text.size())) return Error("a write failed");
  return {};
}

// Writes the text and gives the file the target's flags, permission bits,
// owner and group, where the program may.
platform::Status WriteTempFile(const FileAt& target, platform::TempFileGuard& temp,
                               const platform::FileInfo& as_read, std::string_view text) {
  platform::TempFile& file = temp.file();
  const std::string shown = target.Shown(temp.name());
  if (platform::Status status = file.CopyFlagsOf(target.place()); !status.ok())
    return Error("could not give " + shown + " its flags (chattr): " + status.message() + "; left as it is");
  if (!file.Write(text.data(), text.size())) return Error("could not write " + shown);
  if (platform::Status status = file.KeepAttributesOf(as_read); !status.ok()) {
    return Error("could not give " + shown + " the permission bits: " + status.message());
  }
  return {};
}

// Gives a file that is to take the target's place its extended attributes,
// syncs it and makes sure that it holds exactly `text`.
platform::Status SealTempFile(platform::FileSystem& files, platform::TempFileGuard& temp,
                              const FileAt& target, bool takes_its_place, std::string_view text,
                              std::string& scratch) {
  platform::TempFile& file = temp.file();
  const std::string shown = target.Shown(temp.name());
  if (platform::Status status =
          takes_its_place ? file.CopyExtendedAttributesOf(target.place()) : platform::Status{};
      !status.ok()) {
    return Error("could not copy the extended attributes (" + status.message() + "); left as it is");
  }
  if (platform::Status status = file.Sync(); !status.ok()) {
    return Error("could not sync " + shown + ": " + status.message());
  }
  if (!file.Close()) return Error("could not write " + shown);
  platform::FileInfo written;
  if (platform::Status status = files.ReadRegularFile(temp.place(), text.size(), scratch, written);
      !status.ok()) {
    return Error(status.message() == platform::kTooLarge
                     ? shown + " did not read back as written"
                     : "could not read back " + shown + ": " + status.message());
  }
  if (scratch != text) return Error(shown + " did not read back as written");
  return {};
}

// True when the temporary file has the file's owner and group.
bool KeepsOwnership(platform::FileSystem& files, const platform::TempFileGuard& temp,
                    const platform::FileInfo& as_read) {
  platform::FileInfo info;
  return files.Inspect(temp.place(), false, info).ok() && info.owner == as_read.owner &&
         info.group == as_read.group;
}

// After an exchange that took out a file other than the one read: the
// exchange is undone. The name of the temporary file is removed only when it
// holds the formatted text again (`ours`); otherwise it holds a text saved
// meanwhile, which is kept.
platform::Status PutBack(platform::FileSystem& files, platform::TempFileGuard& temp, const FileAt& target,
                         const platform::FileInfo& ours) {
  platform::FileInfo now;
  if (!files.Exchange(temp.place(), target.place()).ok() || !files.Inspect(temp.place(), false, now).ok() ||
      now.device != ours.device || now.inode != ours.inode) {
    temp.Keep();
    return Error("changed while it was being formatted; a version saved meanwhile is kept in " +
                 target.Shown(temp.name()));
  }
  return Error(std::string(kChanged));
}

platform::Status PutInPlace(platform::FileSystem& files, platform::TempFileGuard& temp, const FileAt& target,
                            const platform::FileInfo& as_read) {
  const platform::HoldSignals hold;
  platform::FileInfo ours;
  if (!files.Inspect(temp.place(), false, ours).ok() || !UnchangedOnDisk(files, target, as_read))
    return Error(std::string(kChanged));
  const std::string shown_temp = target.Shown(temp.name()), shown = target.Shown(target.name);
  const platform::Status exchanged = files.Exchange(temp.place(), target.place());
  if (exchanged.message() == platform::kCannotExchange) {
    if (platform::Status status = files.Rename(temp.place(), target.place()); !status.ok()) {
      return Error("could not rename " + shown_temp + " to " + shown + ": " + status.message());
    }
    temp.Release();
    return {};
  }
  if (!exchanged.ok())
    return Error("could not rename " + shown_temp + " to " + shown + ": " + exchanged.message());
  // The temporary name now holds the file that was in place, which the guard
  // removes, if it is still the one that was read.
  platform::FileInfo taken_out;
  if (files.Inspect(temp.place(), false, taken_out).ok() && SameContent(taken_out, as_read)) return {};
  return PutBack(files, temp, target, ours);
}

// Writes `text` over the file itself; see note [safe writes].
platform::Status RewriteInPlace(platform::FileSystem& files, const FileAt& target,
                                const platform::FileInfo& as_read, std::string_view old_text,
                                std::string_view text, std::string& scratch) {
  std::unique_ptr<platform::TempFile> copy_file;
  const std::string copy_name = EarlierTextName(target.name);
  if (platform::Status status = files.CreateTempFile(platform::Place(target.folder), copy_name,
                                                     platform::TempName::kExact, copy_file);
      !status.ok()) {
    return Error("cannot keep its text in " + target.Shown(copy_name) +
                 " before writing in place: " + status.message());
  }
  platform::TempFileGuard copy(files, std::move(copy_file));
  platform::Status kept = WriteWhole(copy.file(), old_text);
  if (kept.ok()) kept = copy.file().KeepAttributesOf(as_read);
  if (kept.ok()) kept = copy.file().Sync();
  if (kept.ok() && !copy.file().Close()) kept = Error("a write failed");
  if (!kept.ok())
    return Error("could not keep the old text in " + target.Shown(copy_name) + ": " + kept.message());

  const platform::HoldSignals hold;
  std::unique_ptr<platform::RewrittenFile> file;
  if (platform::Status status = files.OpenForRewriting(target.place(), file); !status.ok()) {
    return Error("could not open it for writing in place: " + status.message());
  }
  platform::FileInfo now;
  if (!file->Inspect(now).ok() || !Unchanged(now, as_read)) return Error(std::string(kChanged));
  platform::Status written = WriteWhole(*file, text);
  if (written.ok()) written = file->EndAndSync();
  if (written.ok() && !file->Close()) written = Error("a write failed");
  platform::FileInfo info;
  if (written.ok() &&
      (!files.ReadRegularFile(target.place(), text.size(), scratch, info).ok() || scratch != text))
    written = Error("it did not read back as written");
  if (written.ok()) return {};

  std::unique_ptr<platform::RewrittenFile> again;
  platform::Status restored = files.OpenForRewriting(target.place(), again);
  if (restored.ok()) restored = WriteWhole(*again, old_text);
  if (restored.ok()) restored = again->EndAndSync();
  if (restored.ok() && again->Close())
    return Error("could not write in place (" + written.message() + "); its text is as it was");
  copy.Keep();
  return Error("could not write in place (" + written.message() + "); its old text is in " +
               target.Shown(copy_name));
}

}  // namespace

std::string FileAt::Shown(std::string_view entry) const { return ShownEntry(shown_folder, entry); }

std::string EarlierTextName(std::string_view name) {
  return "." + std::string(name.substr(0, 200)) + ".qfmt-earlier-text";
}

platform::Status CheckNoCutShortWrite(platform::FileSystem& files, const FileAt& file) {
  platform::FileInfo info;
  const std::string copy = EarlierTextName(file.name);
  if (!files.Inspect({file.folder, copy}, false, info).ok()) return {};
  return "an earlier run was cut short while it wrote this file in place, and kept its earlier text in " +
         file.Shown(copy) + "; compare the two, keep the right text under " + file.Shown(file.name) +
         " and remove " + file.Shown(copy) + "; left as it is until then";
}

platform::Status ReplaceFile(platform::FileSystem& files, const FileAt& target,
                             const platform::FileInfo& as_read, std::string_view old_text,
                             std::string_view text, bool keep_backup, std::string& scratch) {
  if (!UnchangedOnDisk(files, target, as_read)) return Error(std::string(kChanged));
  // Only what the user could have written themselves: a folder they may
  // write lets them replace a file, but not make it theirs.
  if (!files.CheckMayWrite(target.place()).ok()) return Error("not writable, left as it is");
  // A qfmt run on the file holds this lock for its whole run; the file has
  // changed when it ends, which the checks below see.
  std::unique_ptr<platform::FileLock> lock;
  (void)files.LockFile(target.place(), lock);
  if (!UnchangedOnDisk(files, target, as_read)) return Error(std::string(kChanged));
  if (keep_backup) {
    const std::string backup_name = std::string(target.name) + std::string(job::kBackupSuffix);
    if (job::MakeBackup(files, target.place(), platform::Place(target.folder, backup_name)).result !=
        job::BackupResult::kCopied) {
      return Error("could not write the backup " + target.Shown(backup_name) + "; left as it is");
    }
  }

  std::unique_ptr<platform::TempFile> file;
  if (platform::Status status = files.CreateTempFileBeside(target.place(), file); !status.ok()) {
    return Error("cannot create a temporary file in " +
                 std::string(target.shown_folder.empty() ? "." : target.shown_folder) + ": " +
                 status.message());
  }
  platform::TempFileGuard temp(files, std::move(file));
  if (platform::Status status = WriteTempFile(target, temp, as_read, text); !status.ok()) return status;
  const bool in_place = as_read.links > 1 || !KeepsOwnership(files, temp, as_read);
  if (platform::Status status = SealTempFile(files, temp, target, !in_place, text, scratch); !status.ok())
    return status;
  if (in_place) return RewriteInPlace(files, target, as_read, old_text, text, scratch);
  return PutInPlace(files, temp, target, as_read);
}

}  // namespace qfmt::tree
