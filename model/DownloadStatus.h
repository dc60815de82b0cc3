#pragma once

/**
    Where a download queue entry stands. The values are fixed: the download panel and Core
    compare them, and the panel shows "Queued", the percentage, "Completed" or "Error".
*/
enum class DownloadState : int
{
    Queued = 0,
    Downloading = 1,
    Completed = 2,
    Failed = 3
};

/**
    Why an entry failed; NoError goes with Completed (and with the states before it).
*/
enum class DownloadError : int
{
    /** Success, or the verified file was already present. */
    NoError = 0,

    /** The temporary file could not be created or written (no private temporary folder, a
        full disk, a write error).
    */
    TempFileError = 1,

    /** The chapter has no place on disk (its identifier or the user's names no safe folder),
        its folder cannot be created, its video path is a directory, or the verified download
        could not replace the previous video.
    */
    FileSystemError = 2,

    /** No connection on the first attempt. */
    ConnectionError = 3,

    /** The entry was removed, or the program quit, while it ran. */
    AbortedByUser = 4,

    /** The downloaded file's MD5 differs from the catalog's "md5". */
    ChecksumMismatch = 5,

    /** The chapter was no longer in the catalog when its run started, so neither its size nor
        its checksum is known.
    */
    NotInCatalog = 6
};
