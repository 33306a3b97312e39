// Opens an input file only when it is a regular file. A FIFO would block the
// reader forever and a device such as /dev/zero never ends, so anything but a
// regular file at such a path counts as a file that cannot be opened. The
// type is taken from the descriptor that is then read, so nothing can be put
// in the file's place between the check and the read. Used for
// "/etc/hba.conf" here and for the files the component core reads.
#ifndef ZRN_HBA_REGULAR_FILE_OPEN_H_
#define ZRN_HBA_REGULAR_FILE_OPEN_H_

// A descriptor open for reading on the regular file at `path` (links
// followed), or -1 when the path is missing, cannot be opened or holds
// something else. The open waits neither for a FIFO's writer nor makes a
// terminal the controlling one; the caller closes the descriptor.
[[nodiscard]] int OpenRegularFile(const char* path);

#endif  // ZRN_HBA_REGULAR_FILE_OPEN_H_
