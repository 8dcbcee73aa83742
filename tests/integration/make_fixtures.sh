#!/usr/bin/env bash
# Generates the integration fixtures into FOLDER with ffmpeg from synthetic
# sources (lavfi sine and testsrc), and beside each MP3 or AAC file ffmpeg's
# own extraction of its audio, the reference the tests compare against.
# Every command run is recorded in FOLDER/COMMANDS.txt.
set -euo pipefail

folder=${1:?usage: make_fixtures.sh FOLDER}
command -v ffmpeg >/dev/null || { echo "make_fixtures.sh: ffmpeg is missing; run scripts/install-deps.sh" >&2; exit 1; }
mkdir -p "$folder"
rm -f "$folder/READY"
cd "$folder"
: > COMMANDS.txt

run() {
  echo "ffmpeg $*" >> COMMANDS.txt
  ffmpeg -nostdin -hide_banner -loglevel error -y "$@"
}

tone() { echo "sine=frequency=${2:-440}:sample_rate=$1:duration=${3:-3}"; }
picture="testsrc=size=160x120:rate=15:duration=3"
# Full-range noise costs a lossless encoder about 1.4 MiB a frame.
noise="nullsrc=size=1280x720:rate=2:duration=2,geq=lum='random(1)*255':cb=128:cr=128"

run -f lavfi -i "$(tone 44100)" -f lavfi -i "$picture" -c:a libmp3lame -b:a 64k -c:v flv mp3_h263.flv
run -f lavfi -i "$(tone 22050 660)" -c:a libmp3lame -b:a 32k mp3_only.flv
run -f lavfi -i "$(tone 44100)" -f lavfi -i "$picture" -c:a aac -b:a 64k -c:v libx264 -preset ultrafast aac_h264.flv
run -f lavfi -i "$(tone 48000 330)" -ac 2 -c:a aac -b:a 96k aac_stereo_only.flv
run -f lavfi -i "$(tone 44100)" -c:a pcm_s16le pcm_s16le.flv
run -f lavfi -i "$(tone 22050)" -c:a pcm_u8 pcm_u8.flv
run -f lavfi -i "$(tone 22050)" -c:a adpcm_swf adpcm.flv
run -f lavfi -i "$(tone 16000)" -c:a nellymoser nellymoser.flv
run -f lavfi -i "$(tone 16000)" -c:a libspeex speex.flv
run -f lavfi -i "$(tone 44100 440 2)" -f lavfi -i "$noise" -c:a libmp3lame -b:a 64k \
    -c:v libx264 -preset ultrafast -qp 0 -g 2 mp3_large_keyframes.flv
run -f lavfi -i "$picture" -c:v flv video_only.flv

for name in mp3_h263 mp3_only mp3_large_keyframes; do
  run -i $name.flv -map 0:a -c copy -f mp3 -write_xing 0 -id3v2_version 0 -write_id3v1 0 $name.ffmpeg.mp3
done
for name in aac_h264 aac_stereo_only; do
  run -i $name.flv -map 0:a -c copy -f adts $name.ffmpeg.aac
done
touch READY
