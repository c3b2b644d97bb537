#pragma once
// A stand-in for the sync editor (GNU Rocket) in tests: the editor's side of
// its protocol over a real TCP socket, listening on 127.0.0.1 only, on a port
// the system picks free. It takes one client at a time, checks the client's
// greeting and answers it, collects the tracks the client asks for and the
// rows it sends, and sends whatever a test says: keys, rows, pause, save, or
// raw bytes. Every wait polls the socket up to a deadline; nothing sleeps on
// hope. One thread at a time (a benchmark may run it on a thread of its own).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantor_test {

class StandInEditor {
 public:
  StandInEditor() = default;
  ~StandInEditor();
  StandInEditor(const StandInEditor&) = delete;
  StandInEditor& operator=(const StandInEditor&) = delete;

  // Starts listening (again after Stop, on the same port when `port` is given).
  bool Listen(uint16_t port = 0);
  uint16_t port() const { return port_; }
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Closes the client and the listening socket: nothing answers on the port.
  void Stop();

  // Waits for a client, reads its 19-byte greeting and, when it is the
  // client's, answers "hello, demo!"; the tracks and rows of the last client
  // are forgotten. False at the deadline or on a wrong one (error() says which).
  bool Accept(int timeoutMs);
  // Whether a client is connected (a closed one is seen at the next read).
  bool HasClient() const { return client_ >= 0; }
  // Closes the client's connection.
  void Drop();

  // Reads what the client sent until `count` get-track messages have come
  // on this connection (names in the order asked), or the deadline.
  bool WaitForTracks(size_t count, int timeoutMs);
  const std::vector<std::string>& tracks() const { return tracks_; }
  // Reads until a set row for `row` has come; false at the deadline.
  bool WaitForRow(uint32_t row, int timeoutMs);
  // A row at or past `row`: while the music plays, a slow frame may skip rows.
  bool WaitForRowPast(uint32_t row, int timeoutMs);
  // Reads until the client closes; false at the deadline.
  bool WaitForClose(int timeoutMs);
  // Every row the client has sent on this connection, in order.
  const std::vector<uint32_t>& rows() const { return rows_; }
  // Reads what has come, without waiting.
  void ReadPending() { Read(0); }

  bool SetKey(uint32_t track, uint32_t row, float value, uint8_t interpolation);
  bool DeleteKey(uint32_t track, uint32_t row);
  bool SetRow(uint32_t row);
  bool Pause(bool paused);
  bool SaveTracks();
  bool SendBytes(const std::vector<uint8_t>& bytes);

  const std::string& error() const { return error_; }

 private:
  bool WaitForRowWhere(const std::function<bool(uint32_t)>& wanted, int timeoutMs);
  bool Read(int timeoutMs);  // reads what comes within timeoutMs; false when the client closed
  void Parse();
  bool Send(const std::vector<uint8_t>& bytes);

  int listener_ = -1;
  int client_ = -1;
  uint16_t port_ = 0;
  std::vector<uint8_t> in_;
  std::vector<std::string> tracks_;
  std::vector<uint32_t> rows_;
  std::string error_;
};

}  // namespace vantor_test
