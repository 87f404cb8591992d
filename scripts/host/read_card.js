// Reads a card through the sound input: StartRecording with 4-second buffers, wait until the
// first buffer (which holds the swipe) has been decoded, then GetTrack2.
// usage: cscript read_card.js WAIT_MS
function wait(ms) {  // Wine's WScript.Sleep ends the script; a busy wait stands in for it
  var end = new Date().getTime() + ms;
  while (new Date().getTime() < end) {}
}
var control = new ActiveXObject("Velquist.Velquist");
// Said before the start: once the worker runs, its console lines may fall between the parts of
// this script's own output.
WScript.Echo("starting the recording");
control.StartRecording(4);
wait(parseInt(WScript.Arguments(0), 10));
WScript.Echo("Track 2: [" + control.GetTrack2 + "]");
