{ velkor from Pascal: analyses each file named on the command line with both
  analysis exports, declared as external functions, and prints what they
  return (the same lines as the C and Python examples).

    fpc -Fl/usr/local/lib velkor_info.pas
    ./velkor_info song.mp3

  The exports use stdcall on 32-bit Windows and cdecl everywhere else; a
  callback handed to the library uses the same. Strings cross as PAnsiChar
  into buffers and records the caller owns. }
program velkor_info;

{$mode objfpc}{$H+}
{$MACRO ON}
{$IF DEFINED(WINDOWS) AND DEFINED(CPU386)}
  {$DEFINE VKCALL := stdcall}
{$ELSE}
  {$DEFINE VKCALL := cdecl}
{$ENDIF}

const
  VelkorLib = {$IFDEF WINDOWS}'velkor.dll'{$ELSE}'velkor'{$ENDIF};
  { Room VkOpenMp3File's report buffer needs (VELKOR_REPORT_SIZE in velkor.h). }
  ReportSize = 357;
  Sep = '<sep>';
  ReportItems: array[0..14] of AnsiString = ('status', 'version', 'bitrate',
    'frequency', 'length', 'size', 'mode', 'title', 'artist', 'album', 'genre',
    'comment', 'frames', 'year', 'track');

type
  { The 363-byte record of VkGetSonvexStruct: zero-terminated text fields of
    fixed width, packed without gaps. }
  TInfoRecord = packed record
    Status: array[0..32] of AnsiChar;
    Track: array[0..4] of AnsiChar;
    Year: array[0..8] of AnsiChar;
    Bitrate: array[0..16] of AnsiChar;
    Size: array[0..16] of AnsiChar;
    Frequency: array[0..16] of AnsiChar;
    Length: array[0..16] of AnsiChar;
    Frames: array[0..16] of AnsiChar;
    Album: array[0..32] of AnsiChar;
    Artist: array[0..32] of AnsiChar;
    Comment: array[0..32] of AnsiChar;
    Genre: array[0..32] of AnsiChar;
    Mode: array[0..32] of AnsiChar;
    Version: array[0..32] of AnsiChar;
    Title: array[0..32] of AnsiChar;
  end;

  TNoticeHandler = function(Text, Caption: PAnsiChar; Style: LongWord;
    Context: Pointer): LongInt; VKCALL;

{$IF SizeOf(TInfoRecord) <> 363}
  {$ERROR TInfoRecord must be 363 bytes}
{$ENDIF}

function VkOpenMp3File(Path, Report: PAnsiChar; Reserved: LongInt): LongInt;
  VKCALL; external VelkorLib;
{ The record goes by reference: the library writes into the caller's one. }
procedure VkGetSonvexStruct(Path: PAnsiChar; var Rec: TInfoRecord);
  VKCALL; external VelkorLib;
{$IFNDEF WINDOWS}
{ Notices come to the host here; on Windows they are message boxes. Context
  points to a flag that is False at the start of each file: both exports
  tell of the same failed file, which is shown once. }
procedure velkor_set_notice_handler(Handler: TNoticeHandler; Context: Pointer);
  VKCALL; external VelkorLib;

function PrintNotice(Text, Caption: PAnsiChar; Style: LongWord;
  Context: Pointer): LongInt; VKCALL;
var
  Line: RawByteString;
  I: Integer;
begin
  Result := 1; { OK }
  if PBoolean(Context)^ then Exit;
  PBoolean(Context)^ := True;
  Line := Text;
  for I := 1 to System.Length(Line) do
    if Line[I] = #10 then Line[I] := ' ';
  WriteLn('  notice: ', Caption, ': ', Line);
end;
{$ENDIF}

procedure PrintReport(Path: PAnsiChar);
var
  Buffer: array[0..ReportSize - 1] of AnsiChar;
  Rest: RawByteString;
  At, N: Integer;
  Ok: LongInt;
begin
  Ok := VkOpenMp3File(Path, @Buffer[0], 0);
  WriteLn('  VkOpenMp3File: ', Ok);
  Rest := PAnsiChar(@Buffer[0]);
  if Ok = 0 then
  begin
    WriteLn('    ', Rest);
    Exit;
  end;
  { Every item, the first included, is closed by "<sep>". }
  N := 0;
  At := Pos(Sep, Rest);
  while (At > 0) and (N <= High(ReportItems)) do
  begin
    WriteLn('    ', ReportItems[N], '=', Copy(Rest, 1, At - 1));
    Delete(Rest, 1, At - 1 + System.Length(Sep));
    Inc(N);
    At := Pos(Sep, Rest);
  end;
end;

function PrintRecord(Path: PAnsiChar): Boolean;
var
  R: TInfoRecord;
begin
  { On failure only Status changes, so the record starts out empty. }
  FillChar(R, SizeOf(R), 0);
  VkGetSonvexStruct(Path, R);
  WriteLn('  VkGetSonvexStruct:');
  WriteLn('    status=', PAnsiChar(R.Status));
  Result := PAnsiChar(R.Status) = 'Success';
  if not Result then Exit;
  WriteLn('    track=', PAnsiChar(R.Track));
  WriteLn('    year=', PAnsiChar(R.Year));
  WriteLn('    bitrate=', PAnsiChar(R.Bitrate));
  WriteLn('    size=', PAnsiChar(R.Size));
  WriteLn('    frequency=', PAnsiChar(R.Frequency));
  WriteLn('    length=', PAnsiChar(R.Length));
  WriteLn('    frames=', PAnsiChar(R.Frames));
  WriteLn('    album=', PAnsiChar(R.Album));
  WriteLn('    artist=', PAnsiChar(R.Artist));
  WriteLn('    comment=', PAnsiChar(R.Comment));
  WriteLn('    genre=', PAnsiChar(R.Genre));
  WriteLn('    mode=', PAnsiChar(R.Mode));
  WriteLn('    version=', PAnsiChar(R.Version));
  WriteLn('    title=', PAnsiChar(R.Title));
end;

var
  I: Integer;
  Path: RawByteString;
  Failed: Boolean = False;
  NoticeShown: Boolean = False;
begin
  if ParamCount < 1 then
  begin
    WriteLn(StdErr, 'usage: velkor_info FILE...');
    Halt(2);
  end;
{$IFNDEF WINDOWS}
  velkor_set_notice_handler(@PrintNotice, @NoticeShown);
{$ENDIF}
  for I := 1 to ParamCount do
  begin
    Path := ParamStr(I);
    NoticeShown := False;
    WriteLn(Path);
    PrintReport(PAnsiChar(Path));
    if not PrintRecord(PAnsiChar(Path)) then Failed := True;
  end;
  if Failed then Halt(1);
end.
