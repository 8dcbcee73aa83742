#!/bin/sh
# Makes the FLV files the damage tests cut and change, from ffmpeg's own
# synthetic sources: a few seconds each, with the audio codecs FLV carries
# and the video that usually sits between the audio tags.
#   make_ffmpeg_flvs.sh FOLDER
# Without ffmpeg it makes nothing, and the tests that need the files skip.
set -eu
out=${1:?usage: make_ffmpeg_flvs.sh FOLDER}
mkdir -p "$out"
if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "make_ffmpeg_flvs.sh: ffmpeg is not installed; no files made"
  exit 0
fi
make_flv() {
  name=$1; shift
  [ -s "$out/$name" ] && return 0
  ffmpeg -nostdin -hide_banner -loglevel error -y "$@" -t 3 -f flv "$out/$name.part"
  mv "$out/$name.part" "$out/$name"
}
video="-f lavfi -i testsrc=size=160x120:rate=25"
audio="-f lavfi -i sine=frequency=440:sample_rate=44100"
make_flv aac_h264.flv $video $audio -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 64k
make_flv mp3_flv1.flv $video $audio -c:v flv -c:a libmp3lame -b:a 64k
make_flv aac_audio_only.flv $audio -c:a aac -b:a 96k
make_flv pcm_audio_only.flv -f lavfi -i sine=frequency=440:sample_rate=22050 -c:a pcm_s16le
echo "make_ffmpeg_flvs.sh: files in $out"
