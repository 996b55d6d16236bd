#pragma once
// The exit codes of veltrano-cli, documented in its manual page: scripts rely on every value.
namespace ExitCode {
inline constexpr int Success = 0;
inline constexpr int Internal = 1;
inline constexpr int Usage = 2;
inline constexpr int Port = 3;
inline constexpr int NoReply = 4;
inline constexpr int Refused = 5;
inline constexpr int Mismatch = 6;
inline constexpr int File = 7;
inline constexpr int Interrupted = 130;
} // namespace ExitCode
